// The configuration reader: the tree each file gives, and the message when there is none.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "params/korvane_c_ini_reader.h"
#include "platform/message_box.h"
#include "temp_dir.h"
#include "tree_text.h"

namespace {

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
TEST_F(IniReader, ReadsSettingsUnderTheRussianRoot) {
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
}

TEST_F(IniReader, MissingFileGivesOnlyTheRootAndAMessage) {
    EXPECT_EQ(shape(Korvane_cIniReader().LoadIni("ini.txt")), kRoot + "{}");
    EXPECT_EQ(boxes, std::vector<std::string>{"ERROR|| File loading failed! |ini.txt | "});
}

}  // namespace
