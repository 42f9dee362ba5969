// Conversion between the engine's single-byte texts (code page 1251) and
// UTF-8, used only at the edges: file names, fonts, clipboard, tool output.
//
// The mapping is a bijection of all 256 bytes: the byte 0x98, which code page
// 1251 leaves unassigned, maps to U+0098 so that every byte survives a round
// trip through UTF-8.
//
// Russian literals are written readably in the source and converted at
// compile time: `constexpr auto kTitle = krovane::cp1251("параметры");`
// then `kTitle.c_str()` holds the code page 1251 bytes.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace krovane {

namespace cp1251_detail {
// Unicode code points of the bytes 0x80 to 0xFF.
inline constexpr std::array<char16_t, 128> kHighHalf = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,  // C8
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // D0
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,  // D8
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,  // E8
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // F0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,  // F8
};

// The byte for a code point, or -1 when code page 1251 has none.
constexpr int byteFor(char32_t cp) {
    if (cp < 0x80) return static_cast<int>(cp);
    for (std::size_t i = 0; i < kHighHalf.size(); ++i)
        if (kHighHalf[i] == cp) return static_cast<int>(0x80 + i);
    return -1;
}

// Decodes one UTF-8 sequence at s[i]; returns the code point and advances i,
// or returns 0xFFFFFFFF for a malformed sequence (i then points past its first byte).
constexpr char32_t decodeUtf8(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i++]);
    if (b0 < 0x80) return b0;
    int extra = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        extra = 1;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        extra = 2;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        extra = 3;
        cp = b0 & 0x07;
    } else {
        return 0xFFFFFFFF;
    }
    const std::size_t start = i;
    for (int k = 0; k < extra; ++k) {
        if (i >= s.size()) {
            i = start;
            return 0xFFFFFFFF;
        }
        const auto b = static_cast<unsigned char>(s[i]);
        if ((b & 0xC0) != 0x80) {
            i = start;
            return 0xFFFFFFFF;
        }
        cp = (cp << 6) | (b & 0x3F);
        ++i;
    }
    // Overlong forms, surrogates and values past U+10FFFF are not UTF-8.
    constexpr char32_t kMinimum[4] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMinimum[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        i = start;
        return 0xFFFFFFFF;
    }
    return cp;
}

template <std::size_t N>
struct Literal {
    char bytes[N]{};
    std::size_t size = 0;
    constexpr const char* c_str() const { return bytes; }
    constexpr std::string_view view() const { return {bytes, size}; }
};
}  // namespace cp1251_detail

// A UTF-8 literal in code page 1251, converted at compile time. A character
// the code page cannot hold stops compilation.
template <std::size_t N>
consteval cp1251_detail::Literal<N> cp1251(const char (&utf8)[N]) {
    cp1251_detail::Literal<N> out;
    const std::string_view s(utf8, N - 1);
    std::size_t i = 0;
    while (i < s.size()) {
        const int b = cp1251_detail::byteFor(cp1251_detail::decodeUtf8(s, i));
        if (b < 0) throw "character outside code page 1251";  // a compile error in consteval
        out.bytes[out.size++] = static_cast<char>(b);
    }
    return out;
}

// Every byte becomes its UTF-8 form.
std::string cp1251ToUtf8(std::string_view text);

// Converts UTF-8 to code page 1251. Returns false, and the byte offset of the
// first character that is malformed or has no code page 1251 byte, on failure.
bool utf8ToCp1251(std::string_view utf8, std::string& out, std::size_t* badOffset = nullptr);

// The same, with every character that is malformed or has no code page 1251
// byte written as '?'.
std::string utf8ToCp1251Lossy(std::string_view utf8);

// Case folding of code page 1251 letters (Latin and Cyrillic), for
// case-insensitive matching of names.
char cp1251ToLower(char c) noexcept;

}  // namespace krovane
