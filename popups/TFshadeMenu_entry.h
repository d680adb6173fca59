// One popup menu entry read from its text: the markers, the label and the right-hand text.
#pragma once

#include "base/AnsiString.h"

// An entry text starts with optional markers, each at most once and in this order: "-" (a
// separator line above the entry), "@" (dimmed), "#" (a check mark) and "$" (a bullet, which
// replaces the check mark). The first "|" splits the rest into the label and a right-hand text,
// which is dimmed on its own when it starts with "@". The markers are never shown.
class TFshadeMenu_entry {
  public:
    bool separator = false;
    bool dimmed = false;
    bool check = false;
    bool bullet = false;
    bool rightDimmed = false;
    AnsiString label;
    AnsiString right;

    static TFshadeMenu_entry parse(const AnsiString& text);

    // The two texts that decide the menu's width. Only an entry with a "|" loses its markers
    // before it is measured; the right-hand text keeps its leading "@".
    static void measuredTexts(const AnsiString& text, AnsiString& label, AnsiString& right);
};
