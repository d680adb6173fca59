// Text_: a list of text lines loaded from and saved to a text file with CR LF line ends.
#pragma once

#include <cstddef>

#include "base/AnsiString.h"
#include "base/Llist.h"

// Adds no fields and no virtual operations to the list of texts.
class Text_ : public Llist<AnsiString> {
  public:
    Text_() : Llist<AnsiString>(0, 1, true) {}

    // Longest line stored by load; longer lines are split into pieces of this size.
    static constexpr int maxLineBytes = 9999;

    // Replaces the lines with those of the file. A CR LF pair and a lone LF each end a line and
    // are not stored. A file that ends with a line end yields an empty last line, and an empty
    // file one empty line, unless dropTrailingBlank removes trailing blank lines. On failure
    // (the file cannot be read) returns false and leaves the lines unchanged.
    bool load(const AnsiString& fileName, bool dropTrailingBlank);

    // The same over bytes already read. False, with the list empty, when storage runs out.
    bool loadBytes(const unsigned char* data, std::size_t size, bool dropTrailingBlank);

    // Writes every line followed by CR LF. The file is replaced as one step: a save that fails
    // returns false and leaves any old file as it was.
    bool save(const AnsiString& fileName);

    // Removes lines from the end while none of their bytes, read as signed 8-bit values, is
    // greater than 31 (so a line holding a space stays, and stops the removal).
    void dropTrailingBlankLines();
};
