// DynamicRow in memory: ids, order, counts, lookups, deletes; every operation accepts 0 or an absent id.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "params/dynamic_row.h"
#include "tree_text.h"

namespace {

using krovane::test::shape;

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

}  // namespace
