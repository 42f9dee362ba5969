// Korvane_string (capacity limits, numbers in and out, and the two splitters) and the configuration reader built on
// its setting splitter: the tree each file gives, and the message when there is none.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <clocale>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "params/korvane_c_ini_reader.h"
#include "params/korvane_string.h"
#include "platform/message_box.h"
#include "temp_dir.h"
#include "tree_text.h"

namespace {

std::string repeat(char c, std::size_t n) { return std::string(n, c); }

TEST(KorvaneString, AppendsAssignmentsAndNumbersStopAtTheLastByte) {
    Korvane_string s(std::string_view(repeat('a', 1020)));
    EXPECT_TRUE(s.add("bcd") && !s.add("e"));  // exactly fills 1023, then refuses
    EXPECT_EQ(s.view().substr(1017), "aaabcd");
    Korvane_string half(std::string_view(repeat('h', 600)));
    half += half;  // self append past the limit
    EXPECT_EQ(half.view(), repeat('h', 1023));
    EXPECT_EQ((Korvane_string(std::string_view(repeat('a', 1021))) += 12345).view(), repeat('a', 1021) + "12");
    EXPECT_EQ((Korvane_string(std::string_view(repeat('a', 1022))) += 2.5f).view(), repeat('a', 1022) + "2");
    s = repeat('z', 2000).c_str();
    EXPECT_EQ(s.view(), repeat('z', 1023));
    EXPECT_EQ(Korvane_string(std::string_view("ab\0cd", 5)), "ab");  // a NUL ends a text
    Korvane_string own("hello world");
    own = own.getChars() + 6;  // a pointer into the object's own text; comparison is exact and case-sensitive
    EXPECT_TRUE(own == "world" && own != "World" && !(own == "worl") && !(own == "")) << own.getChars();
}

TEST(KorvaneString, NumbersOutAndIn) {
    Korvane_string s;
    for (const auto& [value, text] : {std::pair{0, "0"}, {-42, "-42"}, {INT_MIN, "-2147483648"}}) EXPECT_EQ(s = value, text);
    for (const auto& [value, text] : {std::pair{2.5f, "2.5"}, {0.1f, "0.1"}, {-3.0f, "-3"}, {0.0f, "0"},
                                      {1.0f / 3.0f, "0.33333334"}})
        EXPECT_EQ(Korvane_string() += value, text);
    // The shortest text that reads back as the same float.
    for (float v : {0.1f, 1.0f / 3.0f, 123456.78f, 1e-20f, 3.4e38f, -7.25e-3f, FLT_MIN, FLT_MAX})
        EXPECT_EQ((Korvane_string() += v).toFloat(), v) << v;
    for (const auto& [text, value] :
         {std::pair{"  42", 42}, {"\t-17xyz", -17}, {"+8", 8}, {"12.9", 12}, {"abc", 0}, {"", 0}, {"-", 0},
          {"- 5", 0}, {"99999999999999999999", INT_MAX}, {"-99999999999999999999", INT_MIN}})
        EXPECT_EQ(Korvane_string(text).toInt(), value) << text;
    // Only digits spell numbers: no inf, nan or hex; a comma is no decimal point; an 'e'
    // without digits ends the number; out of range gives the largest float or 0.
    for (const auto& [text, value] :
         {std::pair{" 2.5", 2.5f}, {"-0.75m", -0.75f}, {".5", 0.5f}, {"5.", 5.0f}, {"1e3", 1000.0f},
          {"1.5E-2", 0.015f}, {"2e", 2.0f}, {"2e+x", 2.0f}, {"3,5", 3.0f}, {"inf", 0.0f}, {"nan", 0.0f},
          {"0x10", 0.0f}, {".", 0.0f}, {"1e999", FLT_MAX}, {"-1e999", -FLT_MAX}, {"1e-999", 0.0f},
          {"0.000e999", 0.0f}}) {
        const float got = Korvane_string(text).toFloat();
        EXPECT_FLOAT_EQ(got, value) << text;
        EXPECT_TRUE(got == value || (value != 0 && value != FLT_MAX && value != -FLT_MAX)) << text;  // not inf, not tiny
    }
}

TEST(KorvaneString, SameValuesInADecimalCommaLocale) {
    // Users whose locale writes decimal commas read the same files.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr) GTEST_SKIP() << "skipped: the de_DE.UTF-8 locale is absent";
    EXPECT_FLOAT_EQ(Korvane_string("2.5").toFloat(), 2.5f);
    EXPECT_EQ(Korvane_string() += 2.5f, "2.5");
    std::setlocale(LC_ALL, "C");
}

TEST(KorvaneString, CommandBlockSplitsSettings) {
    for (const auto& [line, key, values] :
         {std::tuple{"SCREEN = 800, 600", "SCREEN", "800, 600"}, {"  FILLMODE=3  \r", "FILLMODE", "3"},
          {"EMPTY =", "EMPTY", ""}, {"A = b = c", "A", "b = c"}}) {
        Korvane_string k, v;
        EXPECT_TRUE(Korvane_string(line).getCommandBlock(&k, &v) && k == key && v == values) << line;
    }
    Korvane_string key("untouched"), values("untouched");
    for (const char* line : {"", "   ", "; SCREEN = 1, 2", "# SCREEN = 1, 2", "  ;x=1", "no equals sign", "= 5", "  = 5"})
        EXPECT_FALSE(Korvane_string(line).getCommandBlock(&key, &values)) << line;
    EXPECT_TRUE(key == "untouched" && values == "untouched");
    Korvane_string line("KEY = 1, 2");
    EXPECT_TRUE(line.getCommandBlock(&line, &values) && line == "KEY" && values == "1, 2");  // output may be the source
}

TEST(KorvaneString, DivideSplitsAtTheFirstRunOfBlanks) {
    for (const auto& [text, first, rest] :
         {std::tuple{"cam_mngr camera.next", "cam_mngr", "camera.next"},
          {" \t obj_mngr \t object.visible  3 1", "obj_mngr", "object.visible  3 1"}, {"console", "console", ""},
          {"word   ", "word", ""}}) {
        Korvane_string f, r;
        EXPECT_TRUE(Korvane_string(text).DivideTwoParameters(&f, &r) && f == first && r == rest) << text;
    }
    Korvane_string first("x"), rest("y");
    EXPECT_TRUE(!Korvane_string("  \t ").DivideTwoParameters(&first, &rest) && first == "" && rest == "");
    // Applied again to the rest, it yields each word.
    Korvane_string words("camera.set 2 extra"), word;
    std::string joined;
    while (words.DivideTwoParameters(&word, &words)) joined += std::string(word.view()) + "|";
    EXPECT_EQ(joined, "camera.set|2|extra|");
}

using krovane::platform::MessageBox;
using krovane::test::shape;

// The root every setting hangs under: "параметры инициализации" in code page 1251.
const std::string kRoot = "\xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8";

// Captures message boxes instead of showing them, and works in a fresh folder.
struct IniReader : ::testing::Test {
    krovane::test::TempDir dir;
    std::vector<std::string> boxes;  // caption|text of each
    MessageBox::Presenter previous = MessageBox::setPresenter([this](std::string_view caption, std::string_view text) {
        boxes.push_back(std::string(caption) + "|" + std::string(text));
    });
    ~IniReader() override { MessageBox::setPresenter(previous); }
    static std::string read(std::string_view content) {
        std::ofstream("ini.txt", std::ios::binary) << content;
        return shape(Korvane_cIniReader().LoadIni("ini.txt"));
    }
};

// Comments, blank and garbage lines, line ends, long lines, repeated keys: the whole tree each file gives.
TEST_F(IniReader, ReadsSettingsUnderTheRussianRootAndSaysWhenThereIsNoFile) {
    std::string longLine = "LONG = ", longValues;
    for (int i = 0; i < 400; ++i) {  // one setting past 254 characters, not pieces that each lose one
        longLine += (i ? ", " : "") + std::to_string(1000 + i);
        longValues += (i ? "|" : "") + std::to_string(1000 + i);
    }
    std::string junk;  // binary garbage, NULs included, before a setting
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919) % 256);
    const std::pair<std::string, std::string> cases[] = {
        {"; Krovane settings\nSCREEN = 1024, 768\n\nBACK_RENDERER_COLOR = 10 , 20,30\n# a comment = not a setting\n"
         "MULTISAMPLE_TYPE = 4\njust words\nFILLMODE = 3\n",
         "SCREEN{1024|768}|BACK_RENDERER_COLOR{10|20|30}|MULTISAMPLE_TYPE{4}|FILLMODE{3}"},
        {"FILLMODE = 3\r\nFILLMODE = 1, 2", "FILLMODE{3}|FILLMODE{1|2}"},  // repeated, and no line end at the end
        {junk + "\n" + longLine + "\nSCREEN = 640, 480\n", "LONG{" + longValues + "}|SCREEN{640|480}"},
        {"", ""},  // an empty file: only the root, and no message
    };
    for (const auto& [file, tree] : cases) EXPECT_EQ(read(file), kRoot + "{" + tree + "}") << file.substr(0, 40);
    EXPECT_TRUE(boxes.empty());
    std::filesystem::remove("ini.txt");  // no file: only the root, and a message
    EXPECT_EQ(shape(Korvane_cIniReader().LoadIni("ini.txt")), kRoot + "{}");
    EXPECT_EQ(boxes, std::vector<std::string>{"ERROR|| File loading failed! |ini.txt | "});
}

}  // namespace
