// TextStream: reading and writing an object's fields as key=value lines between two tag lines.
#include "engine/TextStream.h"

#include "base/TextConversions.h"

namespace {

// Blanks are every character of code 32 or below, control characters included.
AnsiString withoutLeadingBlanks(const AnsiString& text) {
    std::size_t i = 0;
    while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32)
        i++;
    return text.substr(i);
}

void copyLines(Text_& source, Text_& destination, int first, int last) {
    for (int i = first; i <= last; i++)
        destination.add(source.get(i));
}

}  // namespace

bool TextStream::exchangeText(const AnsiString& key, const AnsiString& value, AnsiString& out) {
    if (writing) {
        addLine(key + "=" + value);
        return false;
    }
    return findValue(key, out);
}

// The first line whose key matches wins; the value is everything after the first "=", as it
// stands.
bool TextStream::findValue(const AnsiString& key, AnsiString& out) {
    AnsiString left;
    AnsiString right;
    for (int i = 0; i <= lines.top; i++) {
        if (!splitAt(lines.get(i), '=', left, right)) continue;
        if (withoutLeadingBlanks(left) != key) continue;
        out = right;
        return true;
    }
    return false;
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
    const AnsiString opening = "<" + name + ">";
    const AnsiString closing = "</" + name + ">";
    int start = -1;
    for (int j = 0; j <= source.top; j++) {
        const AnsiString& line = source.get(j);
        if (line.find(opening) != AnsiString::npos) start = j;
        if (start == -1 || line.find(closing) == AnsiString::npos) continue;
        copyLines(source, destination, start + 1, j - 1);
        return true;
    }
    return false;
}

void TextStream::exchangeSection(const AnsiString& name, TextStream& object) {
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

// The stream's lines are the file's lines again afterwards, whatever the section held.
bool TextStream::load(const AnsiString& header, const AnsiString& path) {
    if (!path.empty() && !lines.load(path, true)) return false;
    if (lines.top < 0) return false;
    if (lines.get(0) != "<" + header + ">") return false;
    writing = false;
    Text_ copy = lines;
    exchangeSection(header, *this);
    lines = copy;
    return true;
}

bool TextStream::save(const AnsiString& header, const AnsiString& path) {
    writing = true;
    exchangeSection(header, *this);
    if (path.empty()) return true;
    return lines.save(path);
}
