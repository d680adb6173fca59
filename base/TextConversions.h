// Conversions between text and numbers, the maker's web page address and its opener.
#pragma once

#include "base/AnsiString.h"

// The written forms are part of the settings file format: toText writes what the matching
// toInt, toDouble and toBool read back.

AnsiString toText(int value);
AnsiString toText(unsigned value);
AnsiString toText(bool value);

// About four significant digits: up to 1, 2, 3, 4 or 5 decimals for magnitudes from 100, 10, 1,
// 0.1 and 0.009999999 up (tested on the single-precision magnitude), trailing zeros dropped;
// other magnitudes in scientific form with up to 3 decimals ("1.5e+3", "5e-3"). The decimal
// separator is decimalSeparator(); no thousands separators.
AnsiString toText(double value);

// "#" repeated n times; empty for n <= 0.
AnsiString hashes(int n);

// Reads a decimal number (blanks around it, optional sign, optional exponent) written with the
// user's separator; failing that, with the first "." turned into "," or else the first ","
// into ".", so that files written under either separator read back. Anything else gives 1.0.
double toDouble(const AnsiString& text);

// Leading white space, an optional sign, then the digits up to the first non-digit; 0 when there
// are none. Values beyond 32 bits saturate.
int toInt(const AnsiString& text);

// True only for the exact word "true", once characters of code 32 or below are trimmed from
// both ends.
bool toBool(const AnsiString& text);

// Cuts the text at the first ch: left gets what precedes it, right what follows, and the result
// is true. Without ch, left gets the whole text, right is emptied and the result is false.
bool splitAt(const AnsiString& text, char ch, AnsiString& left, AnsiString& right);

// The user's decimal separator, found once from the environment's numeric locale (LC_ALL, then
// LC_NUMERIC, then LANG) without touching the process's locale; "." when that locale is unknown
// or its separator is not a single byte.
char decimalSeparator();

// Fixes the separator from now on (tests, and callers that must write a neutral form).
void setDecimalSeparator(char separator);

// The maker's web site host, a plain host name without a scheme.
const AnsiString& webHost();

// The page opened on the maker's site; "index.html" until the program sets its own.
AnsiString& pageName();

// The full address of the maker's page: "http://" + webHost() + "/" + pageName().
AnsiString makerPageAddress();

// Opens makerPageAddress() in the user's browser. Returns at once; the result of the opening is
// ignored.
void openMakerPage();
