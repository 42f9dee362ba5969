// Code page 1251: readable Russian literals, conversion both ways, case folding.
#include <gtest/gtest.h>

#include <string>

#include "platform/code_page_1251.h"

namespace {

TEST(Cp1251Literal, RussianTextBecomesItsCodePageBytes) {
    constexpr auto phrase = krovane::cp1251("параметры инициализации");
    EXPECT_EQ(phrase.view(),
              "\xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8");
    constexpr auto mixed = krovane::cp1251("Камера № 3 Ёё");
    EXPECT_EQ(mixed.view(), "\xCA\xE0\xEC\xE5\xF0\xE0 \xB9 3 \xA8\xB8");
    EXPECT_EQ(std::string(mixed.c_str()), std::string(mixed.view()));
}

TEST(Cp1251Conversion, EveryByteRoundTripsThroughUtf8) {
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    const std::string utf8 = krovane::cp1251ToUtf8(all);
    std::string back;
    ASSERT_TRUE(krovane::utf8ToCp1251(utf8, back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(krovane::cp1251ToUtf8("\xD1\xEB\xEE\xE2\xEE"), "Слово");
    EXPECT_EQ(krovane::cp1251ToUtf8("\x88 \x98"), "€ \xC2\x98");  // euro; the unassigned byte keeps its place
}

TEST(Cp1251Conversion, RefusesWhatTheCodePageCannotHold) {
    std::string out;
    std::size_t bad = 99;
    EXPECT_FALSE(krovane::utf8ToCp1251("ok 中", out, &bad));
    EXPECT_EQ(bad, 3u);
    EXPECT_FALSE(krovane::utf8ToCp1251("\xF0\x9F\x98\x80", out, &bad));  // an emoji
    EXPECT_EQ(bad, 0u);
    // Malformed UTF-8: a lone continuation byte, a cut sequence, an overlong form, a surrogate.
    for (const char* text : {"a\x80", "a\xD0", "\xC0\xAF", "\xED\xA0\x80"}) {
        EXPECT_FALSE(krovane::utf8ToCp1251(text, out)) << text;
    }
}

TEST(Cp1251Conversion, LossyConversionMarksWhatItCannotHold) {
    EXPECT_EQ(krovane::utf8ToCp1251Lossy("Привет, 中文."), "\xCF\xF0\xE8\xE2\xE5\xF2, ??.");
    EXPECT_EQ(krovane::utf8ToCp1251Lossy(std::string("a\xD0") + "b"), "a?b");  // a cut sequence costs one mark
    EXPECT_EQ(krovane::utf8ToCp1251Lossy(""), "");
}

TEST(Cp1251Folding, LatinAndCyrillicLettersFold) {
    // Q q, А а, Я я, Ё ё, І і; lower case and other bytes stay.
    for (const auto& [upper, lower] : {std::pair{'Q', 'q'}, {'\xC0', '\xE0'}, {'\xDF', '\xFF'}, {'\xA8', '\xB8'},
                                       {'\xB2', '\xB3'}, {'\xE0', '\xE0'}, {'_', '_'}, {'q', 'q'}})
        EXPECT_EQ(krovane::cp1251ToLower(upper), lower) << int(static_cast<unsigned char>(upper));
}

}  // namespace
