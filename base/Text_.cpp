// Text_: loading and saving a list of lines with CR LF line ends.
#include "base/Text_.h"

#include <climits>
#include <cstddef>
#include <string>
#include <vector>

#include "platform/system/Files.h"

namespace {

// A line is blank when no byte of it, read as signed, lies above 31; bytes 128 to 255 are
// negative that way and so count as blank too.
bool isBlank(const char* text, std::size_t length) {
    for (std::size_t i = 0; i < length; i++) {
        if (static_cast<signed char>(text[i]) > 31) return false;
    }
    return true;
}

bool isBlankLine(const AnsiString& line) {
    return isBlank(line.data(), line.size());
}

// Calls visit(start, length) for each line of the text in order, until visit answers false. A CR LF
// pair and a lone LF end a line; the text's end ends the last one, so a final line end yields an
// empty last line. A line too long to store whole is visited as several, each of the longest size,
// so that nothing is lost and nothing is joined to the line after it.
template <typename Visit>
void forEachLine(const char* text, std::size_t size, Visit visit) {
    std::size_t at = 0;
    for (;;) {
        // A plain loop: most lines are short, and a call per line would cost more than it saves.
        std::size_t end = at;
        while (end < size && text[end] != '\n')
            end++;
        std::size_t contentEnd = end;
        if (end < size && contentEnd > at && text[contentEnd - 1] == '\r') contentEnd--;
        std::size_t piece = at;
        do {
            std::size_t length = contentEnd - piece;
            if (length > static_cast<std::size_t>(Text_::maxLineBytes))
                length = Text_::maxLineBytes;
            if (!visit(piece, length)) return;
            piece += length;
        } while (piece < contentEnd);
        if (end == size) return;
        at = end + 1;
    }
}

}  // namespace

bool Text_::load(const AnsiString& fileName, bool dropTrailingBlank) {
    std::vector<unsigned char> bytes;
    if (!platform::readFileBytes(fileName, bytes)) return false;
    return loadBytes(bytes.data(), bytes.size(), dropTrailingBlank);
}

// Two passes over the text: the first counts the lines to keep (trailing blank lines are not
// kept when asked), the second stores them into a block of exactly that size. Every line is
// then copied once, and blank lines at the end are never stored at all, however many there are.
bool Text_::loadBytes(const unsigned char* data, std::size_t size, bool dropTrailingBlank) {
    const char* text = reinterpret_cast<const char*>(data);
    long long count = 0, kept = 0;
    forEachLine(text, size, [&](std::size_t start, std::size_t length) {
        count++;
        if (!dropTrailingBlank || !isBlank(text + start, length)) kept = count;
        return true;
    });
    setCapacity(0, true);
    step = 1000;
    if (kept > INT_MAX) return false;
    if (kept == 0) return true;
    setCapacity(static_cast<int>(kept), false);
    if (capacity < kept) return false;  // no storage: the list stays empty
    int index = 0;
    forEachLine(text, size, [&](std::size_t start, std::size_t length) {
        items[index++].assign(text + start, length);
        return index < kept;
    });
    top = index - 1;
    current = top;
    return true;
}

bool Text_::save(const AnsiString& fileName) {
    std::string bytes;
    current = -1;
    while (next()) {
        bytes += get(current);
        bytes += "\r\n";
    }
    return platform::writeFileAtomically(fileName, bytes.data(), bytes.size());
}

void Text_::dropTrailingBlankLines() {
    while (top >= 0 && isBlankLine(items[top]))
        remove(top);
}
