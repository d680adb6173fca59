// TextStream: reading and writing an object's fields as key=value lines between two tag lines.
#include "engine/TextStream.h"

#include <algorithm>
#include <climits>
#include <iterator>

#include "base/TextConversions.h"

namespace {

// A line's key is what stands before its first "=", without leading blanks (every character of
// code 32 or below, control characters included). False for a line without "=".
bool findKey(const AnsiString& line, std::size_t& from, std::size_t& equals) {
    equals = line.find('=');
    if (equals == AnsiString::npos) return false;
    from = 0;
    while (from < equals && static_cast<unsigned char>(line[from]) <= 32)
        from++;
    return true;
}

// Room for all the lines is made first, so that a long section is not copied again as the
// destination grows.
void copyLines(Text_& source, Text_& destination, int first, int last) {
    if (last < first) return;
    const long long needed = static_cast<long long>(destination.top) + 1 + (last - first + 1);
    if (needed > destination.capacity && needed <= INT_MAX)
        destination.setCapacity(static_cast<int>(needed), true);
    for (int i = first; i <= last; i++)
        destination.add(source.get(i));
}

}  // namespace

bool TextStream::exchangeText(const AnsiString& key, const AnsiString& value, AnsiString& out) {
    if (writing) {
        addLine(key + "=" + value);
        return false;
    }
    if (listing) {
        keyLines.emplace_back(key, -1);
        return false;
    }
    return findValue(key, out);
}

// The first line whose key matches wins; the value is everything after the first "=", as it
// stands. Lines are compared where they stand, without copies.
bool TextStream::findValue(const AnsiString& key, AnsiString& out) {
    for (const auto& [listed, line] : keyLines) {
        if (listed != key) continue;
        if (line < 0) return false;
        out = lines.get(line).substr(lines.get(line).find('=') + 1);
        return true;
    }
    std::size_t from = 0, equals = 0;
    for (int i = 0; i <= lines.top; i++) {
        const AnsiString& line = lines.get(i);
        if (!findKey(line, from, equals) || line.compare(from, equals - from, key) != 0) continue;
        out = line.substr(equals + 1);
        return true;
    }
    return false;
}

// One pass over the lines for all the listed keys, ending once each has been found.
void TextStream::findKeyLines() {
    std::size_t missing = keyLines.size();
    std::size_t from = 0, equals = 0;
    for (int i = 0; i <= lines.top && missing > 0; i++) {
        const AnsiString& line = lines.get(i);
        if (!findKey(line, from, equals)) continue;
        for (auto& [listed, found] : keyLines) {
            if (found >= 0 || listed.size() != equals - from) continue;
            if (line.compare(from, equals - from, listed) != 0) continue;
            found = i;
            missing--;
        }
    }
}
bool TextStream::exchangeDouble(const AnsiString& key, double& field) {
    AnsiString text;
    if (!exchangeText(key, writing ? toText(field) : AnsiString(), text)) return false;
    field = toDouble(text);
    return true;
}

bool TextStream::exchangeInt(const AnsiString& key, int& field) {
    AnsiString text;
    if (!exchangeText(key, writing ? toText(field) : AnsiString(), text)) return false;
    field = toInt(text);
    return true;
}

bool TextStream::exchangeBool(const AnsiString& key, bool& field) {
    AnsiString text;
    if (!exchangeText(key, writing ? toText(field) : AnsiString(), text)) return false;
    field = toBool(text);
    return true;
}

void TextStream::addLine(const AnsiString& text) {
    lines.add(text);
}

void TextStream::openTag(const AnsiString& name) {
    addLine("<" + name + ">");
}

void TextStream::closeTag(const AnsiString& name) {
    addLine("</" + name + ">");
}

bool TextStream::extractSection(Text_& source, const AnsiString& name, Text_& destination) {
    destination.setCapacity(0, true);
    int first = 0, count = 0;
    if (!findSection(source, name, first, count)) return false;
    copyLines(source, destination, first, first + count - 1);
    return true;
}

// The section is what lies between the last opening line before the first closing line that
// follows it; a line shorter than a tag cannot hold it.
bool TextStream::findSection(Text_& source, const AnsiString& name, int& first, int& count) {
    const AnsiString opening = "<" + name + ">";
    const AnsiString closing = "</" + name + ">";
    int start = -1;
    for (int j = 0; j <= source.top; j++) {
        const AnsiString& line = source.get(j);
        if (line.size() < opening.size()) continue;
        if (line.find(opening) != AnsiString::npos) start = j;
        if (start == -1 || line.find(closing) == AnsiString::npos) continue;
        first = start + 1;
        count = j - start - 1 > 0 ? j - start - 1 : 0;
        return true;
    }
    first = count = 0;
    return false;
}

void TextStream::exchangeSection(const AnsiString& name, TextStream& object) {
    if (listing) return;
    object.writing = writing;
    if (!writing) {
        if (name.empty()) {
            object.lines = lines;
        } else {
            Text_ source = lines;
            extractSection(source, name, object.lines);
        }
        object.exchange();
        return;
    }
    object.lines.setCapacity(0, true);
    if (!name.empty()) openTag(name);
    object.exchange();
    if (&object != this) copyLines(object.lines, lines, 0, object.lines.top);
    if (!name.empty()) closeTag(name);
}

// The stream's lines are the file's lines again afterwards, whatever the section held: this is
// exchangeSection(header, *this) between a copy of the lines and its return. Instead of copies,
// the lines before the section are set aside, the section's lines moved to the front of the
// stream's own block and the count cut to them while the fields are read; then everything is
// moved back. A long file costs no copy.
bool TextStream::load(const AnsiString& header, const AnsiString& path) {
    if (!path.empty() && !lines.load(path, true)) return false;
    if (lines.top < 0) return false;
    if (lines.get(0) != "<" + header + ">") return false;
    writing = false;
    int first = 0, count = 0;
    findSection(lines, header, first, count);
    AnsiString* const block = lines.items;
    const int top = lines.top;
    std::vector<AnsiString> before(std::make_move_iterator(block),
                                   std::make_move_iterator(block + first));
    std::move(block + first, block + first + count, block);
    lines.top = count - 1;
    listing = true;
    exchange();
    listing = false;
    findKeyLines();
    exchange();
    keyLines.clear();
    // Reading fields never changes the lines; should an exchange have replaced them, its lines
    // stand and there is nothing to move back.
    if (lines.items != block || lines.top != count - 1) return true;
    std::move_backward(block, block + count, block + first + count);
    std::move(before.begin(), before.end(), block);
    lines.top = top;
    return true;
}

bool TextStream::save(const AnsiString& header, const AnsiString& path) {
    writing = true;
    exchangeSection(header, *this);
    if (path.empty()) return true;
    return lines.save(path);
}
