// Text_: loading and saving a list of lines with CR LF line ends.
#include "base/Text_.h"

#include <cstddef>
#include <string>
#include <vector>

#include "platform/Files.h"

namespace {

// A line is blank when no byte of it, read as signed, lies above 31; bytes 128 to 255 are
// negative that way and so count as blank too.
bool isBlankLine(const AnsiString& line) {
    for (char c : line) {
        if (static_cast<signed char>(c) > 31) return false;
    }
    return true;
}

}  // namespace

bool Text_::load(const AnsiString& fileName, bool dropTrailingBlank) {
    std::vector<unsigned char> bytes;
    if (!platform::readFileBytes(fileName, bytes)) return false;
    const char* text = reinterpret_cast<const char*>(bytes.data());
    const std::size_t size = bytes.size();
    setCapacity(0, true);
    setCapacity(100000, true);
    step = 100000;
    int expected = 0;
    std::size_t at = 0;
    for (;;) {
        std::size_t end = at;
        while (end < size && text[end] != '\n')
            end++;
        std::size_t contentEnd = end;
        if (end < size && contentEnd > at && text[contentEnd - 1] == '\r') contentEnd--;
        // A line too long to store whole goes in as several lines, each of the longest size,
        // so that nothing is lost and nothing is joined to the line after it.
        std::size_t piece = at;
        do {
            std::size_t length = contentEnd - piece;
            if (length > static_cast<std::size_t>(maxLineBytes)) length = maxLineBytes;
            add(AnsiString(text + piece, length));
            expected++;
            piece += length;
        } while (piece < contentEnd);
        if (end == size) break;
        at = end + 1;
    }
    // Storage that ran out on the way has emptied the list: report the load as failed rather
    // than hand out a part of the file.
    if (top + 1 != expected) {
        setCapacity(0, true);
        step = 1000;
        return false;
    }
    setCapacity(top + 1, true);
    step = 1000;
    if (dropTrailingBlank) dropTrailingBlankLines();
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
