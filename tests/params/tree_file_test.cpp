// Tree files: the text format's reading rules, errors with their place, the
// round trip of any texts, and loading and saving on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>

#include "params/dynamic_row.h"
#include "temp_dir.h"
#include "tree_text.h"

using krovane::params::TreeLoadError;

namespace {

using namespace krovane::test;

TEST(TreeFormatReading, KnotsParamsQuotesAndComments) {
    const DynamicRow tree = parse(
        "# a level\n"
        "_CAMERAS_ {\n"
        "    main { _POSITION_ { 0 120 -300 } _LOOK_{0 0 0} }  # trailing comment\n"
        "    empty {}\n"
        "    \"with blank\" { \"say \"\"hi\"\"\" \"\" objects\\floor.DR a#b }\n"
        "    }\n"
        "}\n"
        "top_param\n");
    EXPECT_EQ(
        shape(tree),
        "_CAMERAS_{main{_POSITION_{0|120|-300}|_LOOK_{0|0|0}}|empty{}|with blank{say \"hi\"||objects\\floor.DR|a}}|"
        "top_param");
    for (const char* empty : {"", "  # nothing here\n\n"}) EXPECT_EQ(parse(empty).nodeCount(), 0u) << empty;
}

TEST(TreeFormatErrors, MalformedTextLeavesTheTreeEmptyAndSaysWhere) {
    std::string deep;
    for (unsigned i = 0; i <= DynamicRow::kMaxDepth; ++i) deep += "k{";
    const std::string quotedLong = "a\n  \"" + std::string(1100, 'y') + "\"",
                      nul = "byte 0 is not allowed in a tree file";
    const std::tuple<std::string, unsigned, unsigned, const char*> cases[] = {
        // text, line, column, message
        {"a {\n  b {\n    c\n  }\n", 1, 3, "'{' is never closed"},
        {"a { b }\n}", 2, 1, "'}' without a matching '{'"},
        {"a {\n  { b }\n}", 2, 3, "'{' without a text before it (a knot needs a name)"},
        {"a\n  \"open quote\n b", 2, 3, "quoted text is never closed"},
        {std::string(1024, 'x'), 1, 1, "text longer than 1023 bytes"},
        {quotedLong, 2, 3, "text longer than 1023 bytes"},
        {std::string("ab\0c", 4), 1, 3, nul.c_str()},
        {std::string("a {\n \"x\0\" }", 11), 2, 4, nul.c_str()},
        {std::string("a\n\0", 3), 2, 1, nul.c_str()},
        {std::string("a # x\0y\nb", 10), 1, 6, nul.c_str()},
        {deep, 1, 2 * DynamicRow::kMaxDepth + 2, "knots nested too deeply"},  // at the brace too many
    };
    for (const auto& [text, line, column, message] : cases) {
        DynamicRow tree;
        tree.AddToId(0, true, "old content");
        EXPECT_FALSE(tree.loadFromText(text, "level.DR") || tree.nodeCount() != 0) << text;
        EXPECT_EQ(tree.lastLoadError().kind, TreeLoadError::Kind::Malformed);
        EXPECT_EQ(tree.lastLoadError().describe(),
                  "level.DR:" + std::to_string(line) + ":" + std::to_string(column) + ": " + message)
            << text.substr(0, 40);
    }
}

// Every tree of texts of 0 to 1023 bytes of any values 1..255 writes and reads back.
TEST(TreeFormatRoundTrip, AnyTextsAnyShape) {
    std::mt19937 rng(1234);
    static const char special[] = " \t\r\n\v\f{}\"#\\";  // the bytes the format treats specially, favoured
    for (int round = 0; round < 40; ++round) {
        DynamicRow tree;
        std::vector<unsigned> knots{0};
        for (int i = 0, count = 1 + static_cast<int>(rng() % 300); i < count; ++i) {
            const unsigned kind = rng() % 8;
            std::string text(kind == 0 ? 0 : kind == 1 ? 1023 : rng() % 40, '\0');
            for (char& c : text) c = rng() % 3 == 0 ? special[rng() % (sizeof special - 1)] : char(1 + rng() % 255);
            const unsigned id = tree.AddToId(knots[rng() % knots.size()], rng() % 3 == 0, std::string_view(text));
            ASSERT_NE(id, 0u);
            if (tree.isKnot(id)) knots.push_back(id);
        }
        DynamicRow back;
        ASSERT_TRUE(back.loadFromText(written(tree), "round")) << back.lastLoadError().describe();
        ASSERT_EQ(shape(back), shape(tree));
        ASSERT_EQ(written(back), written(tree));  // the writer is deterministic
    }
}

TEST(TreeFormatRoundTrip, DeepTreesWriteWithoutRecursionOrRunawayIndent) {
    DynamicRow tree;
    unsigned parent = 0;
    for (int i = 0; i < 50000; ++i) parent = tree.AddToId(parent, true, "k");
    tree.AddToId(parent, false, "leaf");
    const std::string text = written(tree);
    EXPECT_LT(text.size(), std::size_t{50000} * 400);  // linear in depth, not quadratic
    EXPECT_EQ(written(parse(text)), text);
}

TEST(TreeFormatWriting, ReadableLayout) {
    EXPECT_EQ(written(parse("_CAMERAS_ { main { _POSITION_ { 0 120 -300 } _LOOK_ {} } } \"a b\"")),
              "_CAMERAS_ {\n"
              "    main {\n"
              "        _POSITION_ { 0 120 -300 }\n"
              "        _LOOK_ {}\n"
              "    }\n"
              "}\n"
              "\"a b\"\n");
}

TEST(TreeFiles, SaveAndLoadThroughEnginePathsOrFailWithTheirName) {
    krovane::test::TempDir dir;
    std::filesystem::create_directories(dir.path() / "paramLoom2.0");
    DynamicRow tree = parse("A { b c } D");
    ASSERT_TRUE(tree.iSaveToFile(Korvane_string("paramLoom2.0\\saved")));
    EXPECT_TRUE(std::filesystem::exists(dir.path() / "paramLoom2.0" / "saved"));
    DynamicRow back;
    EXPECT_TRUE(back.iLoadFromFile(Korvane_string("PARAMLOOM2.0\\SAVED")));  // letter case forgiven
    EXPECT_EQ(shape(back), "A{b|c}|D");
    // Only the finished file is left: no temporary files beside it.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path() / "paramLoom2.0"), {}), 1);
    EXPECT_FALSE(tree.iSaveToFile(Korvane_string("no_such_folder\\file.DR")));
    EXPECT_FALSE(std::filesystem::exists(dir.path() / "no_such_folder"));

    EXPECT_TRUE(!back.iLoadFromFile(Korvane_string("absent.DR")) && back.nodeCount() == 0);
    EXPECT_EQ(back.lastLoadError().kind, TreeLoadError::Kind::Missing);
    EXPECT_EQ(back.lastLoadError().describe(), "absent.DR: cannot open the file");
    std::filesystem::create_directory(dir.path() / "a_folder");
    EXPECT_FALSE(back.iLoadFromFile(Korvane_string("a_folder")));
    EXPECT_EQ(back.lastLoadError().kind, TreeLoadError::Kind::Unreadable);
    std::ofstream(dir.path() / "POLYGON01") << "_OBJECTS_ {\n  box { _POSITION_ { 1 2 3 }\n";
    EXPECT_FALSE(back.iLoadFromFile(Korvane_string("POLYGON01")));
    EXPECT_EQ(back.lastLoadError().describe(), "POLYGON01:2:7: '{' is never closed");
}

}  // namespace
