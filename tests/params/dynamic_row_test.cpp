// DynamicRow in memory (ids, order, counts, lookups, deletes; every operation accepts 0 or an absent id) and in
// files: the text format's reading rules, errors with their place, the round trip of any texts, and loading and
// saving on disk.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "params/dynamic_row.h"
#include "temp_dir.h"
#include "tree_text.h"

using krovane::params::TreeLoadError;

namespace {

using namespace krovane::test;

// A small level-like tree: _CAMERAS_ { main { _POSITION_ { 0 120 -300 } } side { } }
struct LevelTree : ::testing::Test {
    DynamicRow tree;
    unsigned cameras = tree.AddToId(0, true, "_CAMERAS_");
    unsigned main = tree.AddToId(cameras, true, "main");
    unsigned position = tree.AddToId(main, true, "_POSITION_");
    unsigned pieces = tree.AddToIdSeparated(position, Korvane_string("0, 120,-300"), ',');
    unsigned side = tree.AddToId(cameras, true, "side");
};

TEST_F(LevelTree, IdsCountsAndLookups) {
    EXPECT_EQ(std::vector<unsigned>({cameras, main, position, pieces, side}), std::vector<unsigned>({1, 2, 3, 3, 7}));
    // Knots and params are counted apart, and kept in order of adding.
    const unsigned mixed = tree.AddToId(side, true, "mixed");
    for (const auto& [knot, text] : {std::pair{false, "a"}, {true, "b"}, {false, "c"}}) tree.AddToId(mixed, knot, text);
    EXPECT_EQ(shape(tree), "_CAMERAS_{main{_POSITION_{0|120|-300}}|side{mixed{a|b{}|c}}}");
    EXPECT_TRUE(tree.iCountParams(mixed) == 2 && tree.iCountKnots(mixed) == 1 && tree.iCountParams(position) == 3);
    // Lookups find the first in id order; iLookInFor looks at children only.
    EXPECT_TRUE(tree.iLookId(Korvane_string("main")) == main && tree.iLookId("missing") == 0);
    const unsigned second = tree.AddToId(side, true, "_POSITION_");
    EXPECT_TRUE(tree.iLookId("_POSITION_") == position && tree.iLookInFor(side, "_POSITION_") == second);
    EXPECT_TRUE(tree.iLookInFor(main, "_POSITION_") == position && tree.iLookInFor(cameras, "_POSITION_") == 0);
    const unsigned late = tree.AddToId(main, false, "late");  // added after the index was built
    EXPECT_TRUE(tree.iLookId("late") == late && tree.iLookInFor(main, "late") == late);
    EXPECT_TRUE(tree.AddToId(4, false, "child") == 0 && tree.iCountParams(4) == 0);  // a param holds no children
}

TEST_F(LevelTree, DeleteRemovesTheSubtreeAndLookupsFindTheNext) {
    ASSERT_EQ(tree.iLookId("-300"), 6u);  // build the index before deleting
    const unsigned a = tree.AddToId(side, false, "dup"), b = tree.AddToId(side, false, "dup");
    const unsigned c = tree.AddToId(cameras, false, "dup");
    EXPECT_TRUE(tree.DeleteById(main) && !tree.DeleteById(main));
    EXPECT_EQ(shape(tree), "_CAMERAS_{side{dup|dup}|dup}");
    EXPECT_TRUE(tree.iCountKnots(cameras) == 1 && tree.nodeCount() == 5);
    for (unsigned gone : {main, position, 4u, 5u, 6u}) EXPECT_TRUE(tree.iLookName(gone) == "" && !tree.TopId(gone));
    EXPECT_TRUE(tree.iLookId("main") == 0 && tree.iLookId("-300") == 0 && tree.iLookInFor(main, "_POSITION_") == 0);
    EXPECT_EQ(tree.iLookId("dup"), a);
    tree.DeleteById(a);
    EXPECT_TRUE(tree.iLookId("dup") == b && tree.iLookInFor(side, "dup") == b && tree.TopId(side) == b);
    tree.DeleteById(b);
    EXPECT_TRUE(tree.iLookId("dup") == c && tree.iLookInFor(side, "dup") == 0 && tree.iCountParams(side) == 0);
    tree.DeleteById(c);  // the last child: what is added next goes after the one before it
    EXPECT_EQ(tree.AddToId(cameras, true, "main"), 11u);  // ids are not reused
    EXPECT_TRUE(shape(tree) == "_CAMERAS_{side{}|main{}}" && tree.iLookId("main") == 11);
    tree.fresh();
    EXPECT_TRUE(tree.nodeCount() == 0 && tree.TopId(0) == 0 && tree.iLookId("side") == 0);
    EXPECT_EQ(tree.AddToId(0, true, "TIME_LINE"), 1u);
}

TEST_F(LevelTree, AbsentIdsAreHarmless) {
    for (unsigned id : {0u, 99u, 0xFFFFFFFFu}) {
        EXPECT_TRUE(tree.iLookName(id) == "" && tree.NextId(id) == 0 && !tree.DeleteById(id) && tree.TopId(id) == 0);
        EXPECT_EQ(tree.iCountParams(id) + tree.iCountKnots(id) + tree.iLookInFor(id, "main"), 0u);
        if (id == 0) continue;
        EXPECT_EQ(tree.AddToId(id, false, "x") + tree.AddToIdSeparated(id, Korvane_string("a,b"), ','), 0u);
    }
}

TEST(DynamicRowTexts, SeparatedPiecesLongTextsAndNul) {
    DynamicRow tree;
    const unsigned k = tree.AddToId(0, true, "K");
    EXPECT_EQ(tree.AddToIdSeparated(k, Korvane_string(" 1 ,\t2,, 3 ,"), ','), 5u);
    EXPECT_EQ(tree.AddToIdSeparated(tree.AddToId(0, true, "E"), Korvane_string("   "), ','), 0u);
    EXPECT_EQ(shape(tree), "K{1|2||3|}|E{}");
    DynamicRow texts;  // texts are cut at 1023 bytes and end at a NUL
    EXPECT_EQ(texts.text(texts.AddToId(0, false, std::string_view(std::string(3000, 'q')))), std::string(1023, 'q'));
    const unsigned nul = texts.AddToId(0, false, std::string_view("ab\0cd", 5));
    EXPECT_TRUE(texts.text(nul) == "ab" && texts.iLookId("ab") == nul && texts.iLookId("") == 0);
    EXPECT_EQ(texts.iLookId(""), texts.AddToId(0, false, ""));
}

TEST(DynamicRowCopy, CopiesAreIndependentAndMovedFromTreesUsable) {
    DynamicRow a;
    a.AddToId(0, true, "A");
    a.iLookId("A");  // copied with its index built
    DynamicRow b = a;
    b.AddToId(1, false, "child");
    EXPECT_TRUE(a.nodeCount() == 1 && b.iLookId("child") == 2 && a.iLookId("child") == 0);
    DynamicRow c = std::move(b);
    EXPECT_EQ(c.iLookInFor(1, "child"), 2u);
    EXPECT_TRUE(b.nodeCount() == 0 && b.AddToId(0, true, "again") == 1);  // NOLINT(bugprone-use-after-move)
    a = std::move(c);
    EXPECT_TRUE(a.iLookId("child") == 2 && c.AddToId(0, false, "x") == 1);
}

TEST(DynamicRowScale, LookupsAndTextsStayCorrectThroughGrowthAndChurn) {
    // Enough nodes to grow the index several times, with deletes leaving tombstones.
    DynamicRow tree;
    const unsigned root = tree.AddToId(0, true, "ROOT");
    std::vector<unsigned> ids;
    for (int i = 0; i < 20000; ++i) ids.push_back(tree.AddToId(root, i % 3 == 0, ("n" + std::to_string(i)).c_str()));
    EXPECT_EQ(tree.iLookId("n19999"), ids[19999]);
    for (int i = 0; i < 20000; i += 2) tree.DeleteById(ids[static_cast<std::size_t>(i)]);
    for (int i = 0; i < 20000; ++i) {
        const std::string name = "n" + std::to_string(i);
        const unsigned expected = i % 2 == 0 ? 0u : ids[static_cast<std::size_t>(i)];
        ASSERT_TRUE(tree.iLookId(name.c_str()) == expected && tree.iLookInFor(root, name.c_str()) == expected) << name;
    }
    for (int i = 0; i < 20000; ++i) tree.AddToId(root, false, ("m" + std::to_string(i)).c_str());
    EXPECT_EQ(tree.iLookInFor(root, "m12345"), tree.iLookId("m12345"));
    EXPECT_EQ(tree.iCountParams(root) + tree.iCountKnots(root), 30000u);
    // Texts that end exactly where a block of text storage ends, or do not fit in what is left of one.
    DynamicRow texts;
    std::vector<std::pair<unsigned, std::string>> added;
    for (int round = 0; round < 3; ++round) {
        for (int i = 0; i < 64; ++i) added.emplace_back(0, std::string(1023, char('a' + (i + round) % 26)));
        for (const std::string& t : {std::string(64, 'Z'), std::string("after"), std::string(1000, 'Y')})
            added.emplace_back(0, t);
    }
    for (auto& [id, text] : added) id = texts.AddToId(0, false, std::string_view(text));
    const DynamicRow copy = texts;
    for (const auto& [id, text] : added) ASSERT_TRUE(texts.text(id) == text && copy.text(id) == text) << id;
}

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
