// Conversions between text and numbers, the maker's web page address and its opener.
#include "base/TextConversions.h"

#include <langinfo.h>
#include <locale.h>

#include <atomic>
#include <charconv>
#include <climits>
#include <cmath>
#include <string>

#include "platform/system/Shell.h"

namespace {

// The maker's site: this project's own host name, the only place it is written.
constexpr char kWebHost[] = "www.brevant.example";

std::atomic<char> chosenSeparator{0};

bool isSeparatorCandidate(char c) {
    unsigned char u = static_cast<unsigned char>(c);
    return u > 32 && !(c >= '0' && c <= '9') && c != '+' && c != '-' && c != 'e' && c != 'E';
}

// newlocale with "" ranks LC_ALL, LC_NUMERIC and LANG as the C library does, and builds a
// locale object of its own: the process's locale stays as it is.
char separatorFromEnvironment() {
    locale_t numeric = newlocale(LC_NUMERIC_MASK, "", static_cast<locale_t>(nullptr));
    if (numeric == static_cast<locale_t>(nullptr)) return '.';
    const char* radix = nl_langinfo_l(RADIXCHAR, numeric);
    char found = '.';
    if (radix != nullptr && radix[0] != '\0' && radix[1] == '\0' &&
        isSeparatorCandidate(radix[0])) {
        found = radix[0];
    }
    freelocale(numeric);
    return found;
}

bool isBlank(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

AnsiString trimmed(const AnsiString& text) {
    std::size_t first = 0;
    std::size_t end = text.size();
    while (first < end && isBlank(text[first]))
        first++;
    while (end > first && isBlank(text[end - 1]))
        end--;
    return text.substr(first, end - first);
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Copies a run of digits from text[at] onwards; returns how many there were.
std::size_t copyDigits(const AnsiString& text, std::size_t& at, std::string& out) {
    std::size_t start = at;
    while (at < text.size() && isDigit(text[at]))
        out += text[at++];
    return at - start;
}

// Rewrites "[sign] digits [sep digits] [e [sign] digits]" into the neutral form that
// from_chars reads (a "." separator, no "+"); false when the text is not of that form.
bool neutralForm(const AnsiString& text, char separator, std::string& out) {
    std::size_t at = 0;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        if (text[at] == '-') out += '-';
        at++;
    }
    std::size_t digits = copyDigits(text, at, out);
    if (at < text.size() && text[at] == separator) {
        out += '.';
        at++;
        digits += copyDigits(text, at, out);
    }
    if (digits == 0) return false;
    if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
        out += 'e';
        at++;
        if (at < text.size() && (text[at] == '+' || text[at] == '-')) out += text[at++];
        if (copyDigits(text, at, out) == 0) return false;
    }
    return at == text.size();
}

// A number too large or too small for a double counts as unreadable, like any other text.
bool parseNumber(const AnsiString& text, char separator, double& value) {
    std::string neutral;
    if (!neutralForm(trimmed(text), separator, neutral)) return false;
    double parsed = 0;
    auto result = std::from_chars(neutral.data(), neutral.data() + neutral.size(), parsed);
    if (result.ec != std::errc() || result.ptr != neutral.data() + neutral.size()) return false;
    value = parsed;
    return true;
}

// The number of decimals shown for a magnitude, or -1 for the scientific form. The bands are
// tested on the single-precision magnitude, so 0.01 (just below 0.01 in single precision) still
// falls in the band of five decimals.
int decimalsFor(double magnitude) {
    if (magnitude >= 1000.0) return -1;
    double a = static_cast<float>(magnitude);
    if (a >= 1000.0) return -1;
    if (a >= 100.0) return 1;
    if (a >= 10.0) return 2;
    if (a >= 1.0) return 3;
    if (a >= 0.1) return 4;
    if (a >= 0.009999999) return 5;
    return -1;
}

void dropTrailingZeros(std::string& number) {
    if (number.find('.') == std::string::npos) return;
    while (number.back() == '0')
        number.pop_back();
    if (number.back() == '.') number.pop_back();
}

void useSeparator(std::string& number) {
    std::string::size_type point = number.find('.');
    if (point != std::string::npos) number[point] = decimalSeparator();
}

std::string fixedForm(double value, int decimals) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
    std::string number(buffer, result.ptr);
    dropTrailingZeros(number);
    return number;
}

// One digit before the separator, up to three after, then "e", the exponent's sign and its
// digits without leading zeros: 1500 gives 1.5e+3.
std::string scientificForm(double value) {
    char buffer[64];
    auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::scientific, 3);
    std::string number(buffer, result.ptr);
    std::string::size_type e = number.find('e');
    std::string mantissa = number.substr(0, e);
    dropTrailingZeros(mantissa);
    char sign = number[e + 1];
    std::string exponent = number.substr(e + 2);
    while (exponent.size() > 1 && exponent[0] == '0')
        exponent.erase(0, 1);
    return mantissa + "e" + sign + exponent;
}

}  // namespace

AnsiString toText(int value) {
    return std::to_string(value);
}

AnsiString toText(unsigned value) {
    return std::to_string(value);
}

AnsiString toText(bool value) {
    return value ? "true" : "false";
}

AnsiString toText(double value) {
    if (value == 0) return "0";
    if (std::isnan(value)) return "nan";
    if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
    int decimals = decimalsFor(std::fabs(value));
    std::string number = decimals < 0 ? scientificForm(value) : fixedForm(value, decimals);
    useSeparator(number);
    return number;
}

AnsiString hashes(int n) {
    return n > 0 ? AnsiString(static_cast<std::size_t>(n), '#') : "";
}

double toDouble(const AnsiString& text) {
    char separator = decimalSeparator();
    double value = 0;
    if (parseNumber(text, separator, value)) return value;
    AnsiString other = text;
    std::string::size_type at = other.find('.');
    if (at != std::string::npos) {
        other[at] = ',';
    } else if ((at = other.find(',')) != std::string::npos) {
        other[at] = '.';
    } else {
        return 1.0;
    }
    if (parseNumber(other, separator, value)) return value;
    return 1.0;
}

int toInt(const AnsiString& text) {
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || (text[at] >= '\t' && text[at] <= '\r')))
        at++;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    long long value = 0;
    // Saturate rather than overflow: a settings file may hold any run of digits.
    for (; at < text.size() && isDigit(text[at]); at++) {
        value = value * 10 + (text[at] - '0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            value = static_cast<long long>(INT_MAX) + 1;
    }
    if (negative) value = -value;
    if (value > INT_MAX) value = INT_MAX;
    return static_cast<int>(value);
}

bool toBool(const AnsiString& text) {
    return trimmed(text) == "true";
}

bool splitAt(const AnsiString& text, char ch, AnsiString& left, AnsiString& right) {
    std::string::size_type at = text.find(ch);
    if (at == std::string::npos) {
        left = text;
        right.clear();
        return false;
    }
    // Copy before assigning: text may be the same object as left or right.
    AnsiString before = text.substr(0, at);
    AnsiString after = text.substr(at + 1);
    left = std::move(before);
    right = std::move(after);
    return true;
}

char decimalSeparator() {
    char separator = chosenSeparator.load();
    if (separator != 0) return separator;
    char expected = 0;
    chosenSeparator.compare_exchange_strong(expected, separatorFromEnvironment());
    return chosenSeparator.load();
}

void setDecimalSeparator(char separator) {
    chosenSeparator.store(isSeparatorCandidate(separator) ? separator : '.');
}

const AnsiString& webHost() {
    static const AnsiString host = kWebHost;
    return host;
}

AnsiString& pageName() {
    static AnsiString name = "index.html";
    return name;
}

// The scheme is given so that the opener takes the address for a web page, not a file name.
AnsiString makerPageAddress() {
    return "http://" + webHost() + "/" + pageName();
}

void openMakerPage() {
    platform::openWebAddress(makerPageAddress());
}
