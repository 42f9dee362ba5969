#include "params/korvane_string.h"

#include <cfloat>
#include <charconv>  // locale-independent number text
#include <climits>
#include <cmath>
#include <cstring>

namespace {

bool isBlankOrTab(char c) noexcept { return c == ' ' || c == '\t'; }

// Blanks around configuration keys and values; '\r' is here so that files
// written with CR LF line ends read the same.
bool isLineBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

std::string_view trim(std::string_view s) noexcept {
    while (!s.empty() && isLineBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isLineBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Leading blanks of a number: the usual white space of a C parser.
std::string_view skipNumberBlanks(std::string_view s) noexcept {
    while (!s.empty() && (isLineBlank(s.front()) || s.front() == '\n')) s.remove_prefix(1);
    return s;
}

// The numeric parsers behind toInt and toFloat, for any text.
int parseInt(std::string_view text) noexcept {
    std::string_view s = skipNumberBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    long long value = 0;
    for (char c : s) {
        if (!isDigit(c)) break;
        value = value * 10 + (c - '0');
        if (value > static_cast<long long>(INT_MAX) + 1) break;  // clamped below
    }
    if (negative) value = -value;
    if (value > INT_MAX) return INT_MAX;
    if (value < INT_MIN) return INT_MIN;
    return static_cast<int>(value);
}

float parseFloat(std::string_view text) noexcept {
    std::string_view s = skipNumberBlanks(text);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    // Find the extent of "digits [. digits] [e [sign] digits]" ourselves, so that
    // from_chars never sees forms we do not accept (hex, inf, nan).
    std::size_t i = 0;
    std::size_t intDigits = 0, leadingZeros = 0, fracDigits = 0, fracZeros = 0;
    bool significant = false;
    while (i < s.size() && isDigit(s[i])) {
        if (s[i] != '0') significant = true;
        if (!significant) ++leadingZeros;
        ++intDigits;
        ++i;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && isDigit(s[i])) {
            if (s[i] != '0') significant = true;
            if (!significant) ++fracZeros;
            ++fracDigits;
            ++i;
        }
    }
    if (intDigits + fracDigits == 0) return 0.0f;
    long exponent = 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        std::size_t j = i + 1;
        bool expNegative = false;
        if (j < s.size() && (s[j] == '+' || s[j] == '-')) {
            expNegative = s[j] == '-';
            ++j;
        }
        if (j < s.size() && isDigit(s[j])) {
            while (j < s.size() && isDigit(s[j])) {
                if (exponent < 100000) exponent = exponent * 10 + (s[j] - '0');
                ++j;
            }
            if (expNegative) exponent = -exponent;
            i = j;
        }
    }
    float value = 0.0f;
    auto [end, ec] = std::from_chars(s.data(), s.data() + i, value, std::chars_format::general);
    (void)end;
    if (ec == std::errc::result_out_of_range) {
        // Decide by the decimal magnitude whether it overflowed or underflowed.
        long magnitude = intDigits > leadingZeros ? static_cast<long>(intDigits - leadingZeros) + exponent
                                                  : exponent - static_cast<long>(fracZeros);
        value = magnitude > 0 ? FLT_MAX : 0.0f;
    } else if (ec != std::errc()) {
        value = 0.0f;
    }
    return negative ? -value : value;
}

}  // namespace

namespace krovane::params {

bool splitSettingLine(std::string_view line, std::string_view& key, std::string_view& values) noexcept {
    std::string_view s = trim(line);
    if (s.empty() || s.front() == ';' || s.front() == '#') return false;
    std::size_t eq = s.find('=');
    if (eq == std::string_view::npos) return false;
    std::string_view k = trim(s.substr(0, eq));
    if (k.empty()) return false;
    key = k;
    values = trim(s.substr(eq + 1));
    return true;
}

}  // namespace krovane::params

Korvane_string::Korvane_string(const char* text) noexcept {
    chars_[0] = '\0';
    add(text);
}

Korvane_string::Korvane_string(std::string_view text) noexcept {
    chars_[0] = '\0';
    add(text);
}

Korvane_string& Korvane_string::operator=(const char* text) noexcept {
    if (text == chars_) return *this;
    // The source may overlap this object (a pointer into our own text).
    Korvane_string copy(text);
    *this = copy;
    return *this;
}

Korvane_string& Korvane_string::operator=(int value) noexcept {
    clear();
    return *this += value;
}

Korvane_string& Korvane_string::operator+=(const char* text) noexcept {
    add(text);
    return *this;
}

Korvane_string& Korvane_string::operator+=(const Korvane_string& text) noexcept {
    add(text);
    return *this;
}

Korvane_string& Korvane_string::operator+=(int value) noexcept {
    char buffer[16];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    add(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
    return *this;
}

Korvane_string& Korvane_string::operator+=(float value) noexcept {
    if (std::isnan(value)) return *this += "nan";
    if (std::isinf(value)) return *this += value < 0 ? "-inf" : "inf";
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    add(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
    return *this;
}

bool Korvane_string::add(const char* text) noexcept {
    if (text == nullptr) return true;
    // Never read further than could fit: the source may be unterminated past that.
    return add(std::string_view(text, strnlen(text, kCapacity)));
}

bool Korvane_string::add(const Korvane_string& text) noexcept {
    if (&text == this) {
        Korvane_string copy(text);
        return add(copy.view());
    }
    return add(text.view());
}

bool Korvane_string::add(std::string_view text) noexcept {
    std::size_t nul = text.find('\0');
    if (nul != std::string_view::npos) text = text.substr(0, nul);
    std::size_t have = length();
    std::size_t room = kMaxLength - have;
    std::size_t take = text.size() < room ? text.size() : room;
    if (take > 0) std::memmove(chars_ + have, text.data(), take);
    chars_[have + take] = '\0';
    return take == text.size();
}

bool Korvane_string::operator==(const char* text) const noexcept {
    if (text == nullptr) return empty();
    return std::strcmp(chars_, text) == 0;
}

bool Korvane_string::operator==(const Korvane_string& text) const noexcept {
    return std::strcmp(chars_, text.chars_) == 0;
}

std::size_t Korvane_string::length() const noexcept { return strnlen(chars_, kMaxLength); }

int Korvane_string::toInt() const noexcept { return parseInt(view()); }

float Korvane_string::toFloat() const noexcept { return parseFloat(view()); }

bool Korvane_string::getCommandBlock(Korvane_string* key, Korvane_string* values) const noexcept {
    std::string_view k, v;
    if (!krovane::params::splitSettingLine(view(), k, v)) return false;
    // Copy out before writing: either output may be this object.
    Korvane_string keyText(k), valueText(v);
    if (key) *key = keyText;
    if (values) *values = valueText;
    return true;
}

bool Korvane_string::DivideTwoParameters(Korvane_string* first, Korvane_string* rest) const noexcept {
    std::string_view s = view();
    std::size_t i = 0;
    while (i < s.size() && isBlankOrTab(s[i])) ++i;
    std::size_t wordStart = i;
    while (i < s.size() && !isBlankOrTab(s[i])) ++i;
    std::string_view word = s.substr(wordStart, i - wordStart);
    while (i < s.size() && isBlankOrTab(s[i])) ++i;
    std::string_view remainder = s.substr(i);
    Korvane_string wordText(word), restText(remainder);
    if (first) *first = wordText;
    if (rest) *rest = restText;
    return !word.empty();
}
