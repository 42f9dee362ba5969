#include "platform/code_page_1251.h"

#include <utility>  // std::swap

namespace krovane {

namespace {

void appendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Byte for each code point of the high half, built once for fast lookups.
struct ReverseTable {
    struct Entry {
        char16_t cp;
        unsigned char byte;
    };
    Entry entries[128];
    ReverseTable() {
        for (int i = 0; i < 128; ++i) entries[i] = {cp1251_detail::kHighHalf[i], static_cast<unsigned char>(0x80 + i)};
        // Insertion sort: 128 entries, done once.
        for (int i = 1; i < 128; ++i)
            for (int j = i; j > 0 && entries[j - 1].cp > entries[j].cp; --j) std::swap(entries[j - 1], entries[j]);
    }
    int find(char32_t cp) const {
        int lo = 0, hi = 127;
        while (lo <= hi) {
            const int mid = (lo + hi) / 2;
            if (entries[mid].cp == cp) return entries[mid].byte;
            if (entries[mid].cp < cp)
                lo = mid + 1;
            else
                hi = mid - 1;
        }
        return -1;
    }
};

}  // namespace

std::string cp1251ToUtf8(std::string_view text) {
    std::string out;
    out.reserve(text.size() * 2);
    for (char c : text) {
        const auto b = static_cast<unsigned char>(c);
        appendUtf8(out, b < 0x80 ? b : cp1251_detail::kHighHalf[b - 0x80]);
    }
    return out;
}

bool utf8ToCp1251(std::string_view utf8, std::string& out, std::size_t* badOffset) {
    static const ReverseTable table;
    out.clear();
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const std::size_t at = i;
        const char32_t cp = cp1251_detail::decodeUtf8(utf8, i);
        const int b = cp < 0x80 ? static_cast<int>(cp) : cp == 0xFFFFFFFF ? -1 : table.find(cp);
        if (b < 0) {
            if (badOffset) *badOffset = at;
            return false;
        }
        out += static_cast<char>(b);
    }
    return true;
}

std::string utf8ToCp1251Lossy(std::string_view utf8) {
    static const ReverseTable table;
    std::string out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        const char32_t cp = cp1251_detail::decodeUtf8(utf8, i);  // skips one byte of a malformed sequence
        const int b = cp < 0x80 ? static_cast<int>(cp) : cp == 0xFFFFFFFF ? -1 : table.find(cp);
        out += b < 0 ? '?' : static_cast<char>(b);
    }
    return out;
}

char cp1251ToLower(char c) noexcept {
    const auto b = static_cast<unsigned char>(c);
    if (b >= 'A' && b <= 'Z') return static_cast<char>(b + 32);
    if (b >= 0xC0 && b <= 0xDF) return static_cast<char>(b + 32);  // А..Я -> а..я
    switch (b) {
        case 0x80:
            return static_cast<char>(0x90);  // Ђ ђ
        case 0x81:
            return static_cast<char>(0x83);  // Ѓ ѓ
        case 0x8A:
            return static_cast<char>(0x9A);  // Љ љ
        case 0x8C:
            return static_cast<char>(0x9C);  // Њ њ
        case 0x8D:
            return static_cast<char>(0x9D);  // Ќ ќ
        case 0x8E:
            return static_cast<char>(0x9E);  // Ћ ћ
        case 0x8F:
            return static_cast<char>(0x9F);  // Џ џ
        case 0xA1:
            return static_cast<char>(0xA2);  // Ў ў
        case 0xA3:
            return static_cast<char>(0xBC);  // Ј ј
        case 0xA5:
            return static_cast<char>(0xB4);  // Ґ ґ
        case 0xA8:
            return static_cast<char>(0xB8);  // Ё ё
        case 0xAA:
            return static_cast<char>(0xBA);  // Є є
        case 0xAF:
            return static_cast<char>(0xBF);  // Ї ї
        case 0xB2:
            return static_cast<char>(0xB3);  // І і
        case 0xBD:
            return static_cast<char>(0xBE);  // Ѕ ѕ
        default:
            return c;
    }
}

}  // namespace krovane
