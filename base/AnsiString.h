// The system's text: an 8-bit byte string with value semantics.
#pragma once

#include <string>

// Every text in files, menus and dialogs is 8-bit; the program's own text operations count
// character positions from 1 (see TextConversions.h).
using AnsiString = std::string;
