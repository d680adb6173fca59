// TextStream: the base class of objects kept in a settings file of key=value lines.
#pragma once

#include <utility>
#include <vector>

#include "base/AnsiString.h"
#include "base/Text_.h"

// A stored class overrides `exchange` and calls one exchange helper per stored field, in a fixed
// order. The same `exchange` appends the fields' lines while saving and reads them back while
// loading, so the list of keys exists in one place only.
//
// The file is an opening tag line "<header>", the key lines and a closing tag line "</header>".
// Nothing here fails loudly: a missing or foreign file leaves the fields as they were.
class TextStream {
  public:
    Text_ lines;           // the file's lines while loading, the lines being built while saving
    bool writing = false;  // true while saving, false while loading

    TextStream() = default;
    virtual ~TextStream() = default;

    // Names every stored field once; this base version stores nothing.
    virtual void exchange() {}

    // While saving each appends "key=value" and answers false; while loading each looks the
    // key up and, when found, converts the value into the field and answers true.
    bool exchangeText(const AnsiString& key, const AnsiString& value, AnsiString& out);
    bool exchangeDouble(const AnsiString& key, double& field);
    bool exchangeInt(const AnsiString& key, int& field);
    bool exchangeBool(const AnsiString& key, bool& field);

    void addLine(const AnsiString& text);
    void openTag(const AnsiString& name);
    void closeTag(const AnsiString& name);

    // Copies into `destination` the lines between the last opening tag line before the first
    // closing tag line that follows it; false (and an empty destination) when there is none.
    bool extractSection(Text_& source, const AnsiString& name, Text_& destination);

    // Stores or restores `object` (which may be this stream) under the tag `name`; an empty
    // name stores its lines without tags.
    void exchangeSection(const AnsiString& name, TextStream& object);

    // The file at `path` (none when empty) must open with the line "<header>".
    bool load(const AnsiString& header, const AnsiString& path);

    // Replaces the file at `path` as a whole: a save that fails leaves the old file untouched.
    bool save(const AnsiString& header, const AnsiString& path);

  private:
    static bool findSection(Text_& source, const AnsiString& name, int& first, int& count);
    bool findValue(const AnsiString& key, AnsiString& out);
    void findKeyLines();

    // A load runs `exchange` twice: first only to list the keys it asks for, which one pass over
    // the lines then finds, so that a file of many lines is read once rather than once a key.
    bool listing = false;
    std::vector<std::pair<AnsiString, int>> keyLines;  // each key and its first line, or -1
};
