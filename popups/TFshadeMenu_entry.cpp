// Reading popup menu entry texts.
#include "popups/TFshadeMenu_entry.h"

namespace {

// Removes `marker` from the front of `text` and tells whether it was there.
bool takeMarker(AnsiString& text, char marker) {
    if (text.empty() || text[0] != marker) return false;
    text.erase(0, 1);
    return true;
}

}  // namespace

TFshadeMenu_entry TFshadeMenu_entry::parse(const AnsiString& text) {
    TFshadeMenu_entry entry;
    AnsiString rest = text.empty() ? AnsiString(" ") : text;
    entry.separator = takeMarker(rest, '-');
    entry.dimmed = takeMarker(rest, '@');
    entry.check = takeMarker(rest, '#');
    entry.bullet = takeMarker(rest, '$');
    if (entry.bullet) entry.check = false;
    size_t bar = rest.find('|');
    if (bar == AnsiString::npos) {
        entry.label = rest;
        return entry;
    }
    entry.label = rest.substr(0, bar);
    entry.right = rest.substr(bar + 1);
    entry.rightDimmed = takeMarker(entry.right, '@');
    return entry;
}

void TFshadeMenu_entry::measuredTexts(const AnsiString& text, AnsiString& label,
                                      AnsiString& right) {
    size_t bar = text.find('|');
    if (bar == AnsiString::npos) {
        label = text;
        right.clear();
        return;
    }
    AnsiString front = text.substr(0, bar);
    takeMarker(front, '-');
    takeMarker(front, '@');
    takeMarker(front, '#');
    takeMarker(front, '$');
    label = front;
    right = text.substr(bar + 1);
}
