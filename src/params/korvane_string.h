// Korvane_string: the fixed-size text value used for every name, value and
// message in the engine.
//
// The object is exactly 1024 bytes and keeps its text inside itself, so it is
// copied as a block and never allocates. A text holds at most 1023 bytes plus
// the terminating NUL. Every operation that would make it longer keeps the
// first 1023 bytes and drops the rest; nothing ever writes past the object.
// Texts are single bytes in code page 1251 and cannot contain a NUL byte: a
// source that holds one ends there.
#pragma once

#include <cstddef>
#include <string_view>

class Korvane_string {
public:
    static constexpr std::size_t kCapacity = 1024;            // bytes in the object
    static constexpr std::size_t kMaxLength = kCapacity - 1;  // bytes of text it can hold

    Korvane_string() noexcept { chars_[0] = '\0'; }
    Korvane_string(const char* text) noexcept;  // NOLINT(google-explicit-constructor): texts flow freely
    explicit Korvane_string(std::string_view text) noexcept;
    Korvane_string(const Korvane_string&) noexcept = default;
    Korvane_string& operator=(const Korvane_string&) noexcept = default;

    Korvane_string& operator=(const char* text) noexcept;
    Korvane_string& operator=(int value) noexcept;  // the number in decimal

    Korvane_string& operator+=(const char* text) noexcept;
    Korvane_string& operator+=(const Korvane_string& text) noexcept;
    Korvane_string& operator+=(int value) noexcept;
    // Appends the shortest text that reads back as the same float: "2.5", "0.1",
    // "-3", "1e+20". Infinities and NaN are written "inf", "-inf" and "nan".
    Korvane_string& operator+=(float value) noexcept;

    // Append; false when the text had to be cut to fit.
    bool add(const char* text) noexcept;
    bool add(const Korvane_string& text) noexcept;
    bool add(std::string_view text) noexcept;

    void clear() noexcept { chars_[0] = '\0'; }

    // Exact, case-sensitive comparison. Comparing with "" tests for an empty text.
    bool operator==(const char* text) const noexcept;
    bool operator==(const Korvane_string& text) const noexcept;
    bool operator!=(const char* text) const noexcept { return !(*this == text); }
    bool operator!=(const Korvane_string& text) const noexcept { return !(*this == text); }

    // The NUL-terminated text; valid and unchanged while the object lives and
    // is not modified.
    char* getChars() noexcept { return chars_; }
    const char* getChars() const noexcept { return chars_; }
    std::string_view view() const noexcept { return {chars_, length()}; }
    std::size_t length() const noexcept;
    bool empty() const noexcept { return chars_[0] == '\0'; }

    // The number the text spells, the same in every locale. Leading blanks are
    // skipped, then an optional sign and digits are read (for toFloat also a
    // fraction and an exponent); reading stops at the first byte that does not
    // fit. A text that spells no number gives 0. Values out of range give the
    // nearest value the type can hold.
    int toInt() const noexcept;
    float toFloat() const noexcept;

    // Splits a configuration line "KEY = v1, v2" into its key and value text
    // (blanks around both dropped). Returns true only for a line that holds a
    // setting: false for blank lines, comment lines (first non-blank byte ';'
    // or '#'), lines without '=' and lines with nothing before the '='. Either
    // pointer may be null.
    bool getCommandBlock(Korvane_string* key, Korvane_string* values) const noexcept;

    // Splits a command text into its first word and the rest: leading blanks
    // and tabs are skipped, the word ends at the next blank or tab, and the rest
    // begins after that run of blanks and tabs. A missing part comes back empty.
    // Applied again to the rest it yields the next word. Returns whether a word
    // was found. Either pointer may be null; they may point at this object.
    bool DivideTwoParameters(Korvane_string* first, Korvane_string* rest) const noexcept;

private:
    char chars_[kCapacity];
};

static_assert(sizeof(Korvane_string) == Korvane_string::kCapacity, "Korvane_string is a 1024-byte value");

namespace krovane::params {

// The configuration line split used by getCommandBlock, on any length of line:
// on success key and values view into line.
bool splitSettingLine(std::string_view line, std::string_view& key, std::string_view& values) noexcept;

}  // namespace krovane::params
