// The configuration reader and the engine's start-up step that uses it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/krovane.h"
#include "params/korvane_c_ini_reader.h"
#include "platform/message_box.h"
#include "temp_dir.h"

namespace {

using krovane::platform::MessageBox;

struct ShownBox {
    std::string caption, text;
};

// Captures message boxes instead of showing them, and works in a fresh folder.
struct IniReader : ::testing::Test {
    krovane::test::TempDir dir;
    std::vector<ShownBox> boxes;
    MessageBox::Presenter previous;

    void SetUp() override {
        previous = MessageBox::setPresenter([this](std::string_view caption, std::string_view text) {
            boxes.push_back({std::string(caption), std::string(text)});
        });
    }
    void TearDown() override { MessageBox::setPresenter(previous); }

    static void write(const std::string& name, std::string_view content) {
        std::ofstream(name, std::ios::binary) << content;
    }
    // Values of `key` in file order.
    static std::vector<std::string> values(const DynamicRow& tree, const char* key) {
        std::vector<std::string> out;
        for (unsigned id = tree.TopId(tree.iLookId(key)); id != 0; id = tree.NextId(id))
            out.emplace_back(tree.text(id));
        return out;
    }
    static std::vector<std::string> keys(const DynamicRow& tree) {
        std::vector<std::string> out;
        for (unsigned id = tree.TopId(1); id != 0; id = tree.NextId(id)) out.emplace_back(tree.text(id));
        return out;
    }
};

TEST_F(IniReader, ReadsSettingsUnderTheRussianRoot) {
    write("ini.txt",
          "; Krovane settings\n"
          "SCREEN = 1024, 768\n"
          "\n"
          "BACK_RENDERER_COLOR = 10 , 20,30\n"
          "# a comment = not a setting\n"
          "MULTISAMPLE_TYPE = 4\n"
          "just words\n"
          "FILLMODE = 3\n");
    Korvane_cIniReader reader;
    const DynamicRow tree = reader.LoadIni("ini.txt");
    EXPECT_EQ(tree.text(1),
              "\xEF\xE0\xF0\xE0\xEC\xE5\xF2\xF0\xFB \xE8\xED\xE8\xF6\xE8\xE0\xEB\xE8\xE7\xE0\xF6\xE8\xE8");
    EXPECT_TRUE(tree.isKnot(1));
    EXPECT_EQ(keys(tree), (std::vector<std::string>{"SCREEN", "BACK_RENDERER_COLOR", "MULTISAMPLE_TYPE", "FILLMODE"}));
    EXPECT_EQ(values(tree, "SCREEN"), (std::vector<std::string>{"1024", "768"}));
    EXPECT_EQ(values(tree, "BACK_RENDERER_COLOR"), (std::vector<std::string>{"10", "20", "30"}));
    EXPECT_EQ(tree.iLookName(tree.TopId(tree.iLookId("FILLMODE"))).toInt(), 3);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(IniReader, MissingOrEmptyFileGivesOnlyTheRoot) {
    Korvane_cIniReader reader;
    const DynamicRow tree = reader.LoadIni("ini.txt");
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].caption, "ERROR");
    EXPECT_EQ(boxes[0].text, "| File loading failed! |ini.txt | ");
    EXPECT_EQ(tree.nodeCount(), 1u);
    EXPECT_EQ(tree.TopId(1), 0u);
    EXPECT_EQ(tree.iLookId("SCREEN"), 0u);
    write("ini.txt", "");  // an empty file: only the root, and no message
    EXPECT_EQ(reader.LoadIni("ini.txt").nodeCount(), 1u);
    EXPECT_EQ(boxes.size(), 1u);
}

// Line ends, long lines, repeated keys, three values: each file's keys and the values of its first key.
TEST_F(IniReader, LinesAndKeys) {
    std::string longLine = "LONG = ";
    std::vector<std::string> longValues;
    for (int i = 0; i < 400; ++i) {  // one setting past 254 characters, not pieces that each lose one
        longValues.push_back(std::to_string(1000 + i));
        longLine += (i ? ", " : "") + longValues.back();
    }
    const struct {
        std::string file;
        std::vector<std::string> keys, values;
    } cases[] = {
        {"FILLMODE = 2", {"FILLMODE"}, {"2"}},  // no line end after the last line
        {"FILLMODE = 3\r\nSCREEN = 1, 2", {"FILLMODE", "SCREEN"}, {"3"}},
        {longLine + "\nSCREEN = 640, 480\n", {"LONG", "SCREEN"}, longValues},
        {"FILLMODE = 1\nFILLMODE = 3\n", {"FILLMODE", "FILLMODE"}, {"1"}},  // lookups find the first
        {"SCREEN = 800, 600, 32\n", {"SCREEN"}, {"800", "600", "32"}},
    };
    Korvane_cIniReader reader;
    for (const auto& c : cases) {
        write("ini.txt", c.file);
        const DynamicRow tree = reader.LoadIni("ini.txt");
        EXPECT_EQ(keys(tree), c.keys) << c.file.substr(0, 40);
        EXPECT_EQ(values(tree, c.keys[0].c_str()), c.values) << c.file.substr(0, 40);
    }
    std::string junk;  // binary garbage, NULs included, before a setting
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919) % 256);
    write("ini.txt", junk + "\nSCREEN = 1, 2\n");
    EXPECT_EQ(values(reader.LoadIni("ini.txt"), "SCREEN"), (std::vector<std::string>{"1", "2"}));
    EXPECT_TRUE(boxes.empty());
}

TEST_F(IniReader, LoadIniParametersSavesTheCopyWhenItsFolderExists) {
    write("ini.txt", "SCREEN = 800, 600\n");
    const DynamicRow first = Krovane::LoadIniParameters("ini.txt");
    EXPECT_EQ(values(first, "SCREEN"), (std::vector<std::string>{"800", "600"}));
    EXPECT_FALSE(std::filesystem::exists("paramLoom2.0"));  // no folder: no copy, no complaint

    std::filesystem::create_directory("paramLoom2.0");
    const DynamicRow second = Krovane::LoadIniParameters("ini.txt");
    DynamicRow copy;
    ASSERT_TRUE(copy.iLoadFromFile(Korvane_string("paramLoom2.0\\loaded_parameters")));
    EXPECT_EQ(copy.text(1), second.text(1));
    EXPECT_EQ(values(copy, "SCREEN"), (std::vector<std::string>{"800", "600"}));
    EXPECT_TRUE(boxes.empty());
}

}  // namespace
