// Korvane_string: capacity limits, numbers in and out, and the two splitters.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <string>

#include "params/korvane_string.h"

namespace {

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

TEST(KorvaneStringLimit, AppendsStopAtTheLastByte) {
    Korvane_string s(std::string_view(repeat('a', 1020)));
    EXPECT_TRUE(s.add("bcd"));  // exactly fills 1023
    EXPECT_EQ(s.length(), 1023u);
    EXPECT_FALSE(s.add("e"));
    EXPECT_EQ(s.length(), 1023u);
    EXPECT_EQ(s.view().substr(1017), "aaabcd");

    Korvane_string full(std::string_view(repeat('x', 5000)));
    EXPECT_EQ(full.length(), 1023u);
    full += full;  // self append at the limit
    EXPECT_EQ(full.length(), 1023u);
}

TEST(KorvaneStringLimit, NumbersAndSelfAppendAtTheLimit) {
    Korvane_string s(std::string_view(repeat('a', 1021)));
    s += 12345;
    EXPECT_EQ(s.length(), 1023u);
    EXPECT_EQ(s.view().substr(1021), "12");
    Korvane_string f(std::string_view(repeat('a', 1022)));
    f += 2.5f;
    EXPECT_EQ(f.view().substr(1022), "2");

    Korvane_string half(std::string_view(repeat('h', 600)));
    half += half;
    EXPECT_EQ(half.length(), 1023u);
}

TEST(KorvaneStringLimit, AssignmentsCutAndNulEndsAText) {
    Korvane_string s;
    s = repeat('z', 2000).c_str();
    EXPECT_EQ(s.length(), 1023u);
    const Korvane_string withNul(std::string_view("ab\0cd", 5));
    EXPECT_EQ(withNul, "ab");
    // Assigning a pointer into the object's own text works.
    Korvane_string own("hello world");
    own = own.getChars() + 6;
    EXPECT_EQ(own, "world");
}

TEST(KorvaneStringCompare, ExactAndCaseSensitive) {
    Korvane_string a("camera.set");
    EXPECT_TRUE(a == "camera.set");
    EXPECT_FALSE(a == "Camera.Set");
    EXPECT_TRUE(a != "Camera.Set");
    EXPECT_FALSE(a == "camera.se");
    EXPECT_TRUE(Korvane_string() == "");
    EXPECT_FALSE(a == "");
    a.clear();
    EXPECT_TRUE(a == "");
}

TEST(KorvaneStringNumbersOut, IntegersInDecimal) {
    Korvane_string s;
    s = 0;
    EXPECT_EQ(s, "0");
    s = -42;
    EXPECT_EQ(s, "-42");
    s = INT_MIN;
    EXPECT_EQ(s, "-2147483648");
    s = "Errors: ";
    s += 3;
    EXPECT_EQ(s, "Errors: 3");
}

TEST(KorvaneStringNumbersOut, FloatsShortestThatReadsBack) {
    auto text = [](float v) {
        Korvane_string s;
        s += v;
        return std::string(s.view());
    };
    EXPECT_EQ(text(2.5f), "2.5");
    EXPECT_EQ(text(0.1f), "0.1");
    EXPECT_EQ(text(-3.0f), "-3");
    EXPECT_EQ(text(0.0f), "0");
    EXPECT_EQ(text(1.0f / 3.0f), "0.33333334");
    for (float v : {0.1f, 1.0f / 3.0f, 123456.78f, 1e-20f, 3.4e38f, -7.25e-3f, FLT_MIN, FLT_MAX}) {
        Korvane_string s;
        s += v;
        EXPECT_EQ(s.toFloat(), v) << s.getChars();
    }
}

TEST(KorvaneStringNumbersIn, IntegerParseRules) {
    EXPECT_EQ(Korvane_string("  42").toInt(), 42);
    EXPECT_EQ(Korvane_string("\t-17xyz").toInt(), -17);
    EXPECT_EQ(Korvane_string("+8").toInt(), 8);
    EXPECT_EQ(Korvane_string("12.9").toInt(), 12);
    EXPECT_EQ(Korvane_string("abc").toInt(), 0);
    EXPECT_EQ(Korvane_string("").toInt(), 0);
    EXPECT_EQ(Korvane_string("-").toInt(), 0);
    EXPECT_EQ(Korvane_string("- 5").toInt(), 0);
    EXPECT_EQ(Korvane_string("99999999999999999999").toInt(), INT_MAX);
    EXPECT_EQ(Korvane_string("-99999999999999999999").toInt(), INT_MIN);
}

TEST(KorvaneStringNumbersIn, FloatParseRules) {
    EXPECT_FLOAT_EQ(Korvane_string(" 2.5").toFloat(), 2.5f);
    EXPECT_FLOAT_EQ(Korvane_string("-0.75m").toFloat(), -0.75f);
    EXPECT_FLOAT_EQ(Korvane_string(".5").toFloat(), 0.5f);
    EXPECT_FLOAT_EQ(Korvane_string("5.").toFloat(), 5.0f);
    EXPECT_FLOAT_EQ(Korvane_string("1e3").toFloat(), 1000.0f);
    EXPECT_FLOAT_EQ(Korvane_string("1.5E-2").toFloat(), 0.015f);
    EXPECT_FLOAT_EQ(Korvane_string("2e").toFloat(), 2.0f);  // no exponent digits: stops before 'e'
    EXPECT_FLOAT_EQ(Korvane_string("2e+x").toFloat(), 2.0f);
    EXPECT_FLOAT_EQ(Korvane_string("3,5").toFloat(), 3.0f);  // a comma is not a decimal point
    EXPECT_EQ(Korvane_string("inf").toFloat(), 0.0f);        // only digits spell numbers
    EXPECT_EQ(Korvane_string("nan").toFloat(), 0.0f);
    EXPECT_EQ(Korvane_string("0x10").toFloat(), 0.0f);
    EXPECT_EQ(Korvane_string(".").toFloat(), 0.0f);
    EXPECT_EQ(Korvane_string("1e999").toFloat(), FLT_MAX);
    EXPECT_EQ(Korvane_string("-1e999").toFloat(), -FLT_MAX);
    EXPECT_EQ(Korvane_string("1e-999").toFloat(), 0.0f);
    EXPECT_EQ(Korvane_string("0.000e999").toFloat(), 0.0f);
}

TEST(KorvaneStringNumbersIn, SameValuesInADecimalCommaLocale) {
    // Users whose locale writes decimal commas read the same files.
    const char* locales[] = {"de_DE.UTF-8", "ru_RU.UTF-8", "fr_FR.UTF-8"};
    const char* set = nullptr;
    for (const char* name : locales)
        if ((set = std::setlocale(LC_ALL, name)) != nullptr) break;
    if (set == nullptr) GTEST_SKIP() << "no decimal-comma locale installed";
    EXPECT_FLOAT_EQ(Korvane_string("2.5").toFloat(), 2.5f);
    Korvane_string s;
    s += 2.5f;
    EXPECT_EQ(s, "2.5");
    std::setlocale(LC_ALL, "C");
}

TEST(KorvaneStringCommandBlock, AcceptsSettings) {
    Korvane_string key, values;
    EXPECT_TRUE(Korvane_string("SCREEN = 800, 600").getCommandBlock(&key, &values));
    EXPECT_EQ(key, "SCREEN");
    EXPECT_EQ(values, "800, 600");
    EXPECT_TRUE(Korvane_string("  FILLMODE=3  \r").getCommandBlock(&key, &values));
    EXPECT_EQ(key, "FILLMODE");
    EXPECT_EQ(values, "3");
    EXPECT_TRUE(Korvane_string("EMPTY =").getCommandBlock(&key, &values));
    EXPECT_EQ(key, "EMPTY");
    EXPECT_EQ(values, "");
    EXPECT_TRUE(Korvane_string("A = b = c").getCommandBlock(&key, &values));
    EXPECT_EQ(key, "A");
    EXPECT_EQ(values, "b = c");
}

TEST(KorvaneStringCommandBlock, RejectsLinesWithoutASetting) {
    Korvane_string key("untouched"), values("untouched");
    for (const char* line :
         {"", "   ", "; SCREEN = 1, 2", "# SCREEN = 1, 2", "  ;x=1", "no equals sign", "= 5", "  = 5"}) {
        EXPECT_FALSE(Korvane_string(line).getCommandBlock(&key, &values)) << line;
    }
    EXPECT_EQ(key, "untouched");
    EXPECT_EQ(values, "untouched");
}

TEST(KorvaneStringCommandBlock, OutputMayBeTheSourceItself) {
    Korvane_string line("KEY = 1, 2");
    Korvane_string values;
    EXPECT_TRUE(line.getCommandBlock(&line, &values));
    EXPECT_EQ(line, "KEY");
    EXPECT_EQ(values, "1, 2");
}

TEST(KorvaneStringDivide, SplitsAtTheFirstRunOfBlanks) {
    Korvane_string first, rest;
    EXPECT_TRUE(Korvane_string("cam_mngr camera.next").DivideTwoParameters(&first, &rest));
    EXPECT_EQ(first, "cam_mngr");
    EXPECT_EQ(rest, "camera.next");

    EXPECT_TRUE(Korvane_string(" \t obj_mngr \t object.visible  3 1").DivideTwoParameters(&first, &rest));
    EXPECT_EQ(first, "obj_mngr");
    EXPECT_EQ(rest, "object.visible  3 1");

    EXPECT_TRUE(Korvane_string("console").DivideTwoParameters(&first, &rest));
    EXPECT_EQ(first, "console");
    EXPECT_EQ(rest, "");

    EXPECT_TRUE(Korvane_string("word   ").DivideTwoParameters(&first, &rest));
    EXPECT_EQ(rest, "");

    EXPECT_FALSE(Korvane_string("  \t ").DivideTwoParameters(&first, &rest));
    EXPECT_EQ(first, "");
    EXPECT_EQ(rest, "");
}

TEST(KorvaneStringDivide, AppliedAgainToTheRestYieldsEachWord) {
    Korvane_string rest("camera.set 2 extra"), word;
    std::string words;
    while (rest.DivideTwoParameters(&word, &rest)) words += std::string(word.view()) + "|";
    EXPECT_EQ(words, "camera.set|2|extra|");
    EXPECT_EQ(rest, "");
}

}  // namespace
