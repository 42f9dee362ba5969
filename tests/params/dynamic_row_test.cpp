// DynamicRow in memory: ids, order, counts, lookups, deletes and the rule that
// every operation accepts 0 or an absent id.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "params/dynamic_row.h"

namespace {

std::vector<std::string> childTexts(const DynamicRow& tree, unsigned parent) {
    std::vector<std::string> out;
    for (unsigned id = parent ? tree.TopId(parent) : tree.firstTopLevelId(); id != 0; id = tree.NextId(id))
        out.emplace_back(tree.text(id));
    return out;
}

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
    EXPECT_EQ(tree.nodeCount(), 7u);
    EXPECT_EQ(childTexts(tree, position), (std::vector<std::string>{"0", "120", "-300"}));
    EXPECT_EQ(childTexts(tree, 0), (std::vector<std::string>{"_CAMERAS_"}));
    EXPECT_EQ(tree.iLookName(4), "0");
    // Knots and params are counted apart, and kept in order of adding.
    const unsigned mixed = tree.AddToId(side, true, "mixed");
    tree.AddToId(mixed, false, "a");
    tree.AddToId(mixed, true, "b");
    tree.AddToId(mixed, false, "c");
    EXPECT_EQ(tree.iCountParams(mixed), 2u);
    EXPECT_EQ(tree.iCountKnots(mixed), 1u);
    EXPECT_EQ(childTexts(tree, mixed), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(tree.iCountParams(position), 3u);
    // Lookups find the first in id order; iLookInFor looks at children only.
    EXPECT_EQ(tree.iLookId("main"), main);
    EXPECT_EQ(tree.iLookId(Korvane_string("_POSITION_")), position);
    EXPECT_EQ(tree.iLookId("missing"), 0u);
    const unsigned second = tree.AddToId(side, true, "_POSITION_");
    EXPECT_EQ(tree.iLookId("_POSITION_"), position);
    EXPECT_EQ(tree.iLookInFor(side, "_POSITION_"), second);
    EXPECT_EQ(tree.iLookInFor(main, "_POSITION_"), position);
    EXPECT_EQ(tree.iLookInFor(cameras, "_POSITION_"), 0u);
    const unsigned late = tree.AddToId(main, false, "late");  // added after the index was built
    EXPECT_EQ(tree.iLookId("late"), late);
    EXPECT_EQ(tree.iLookInFor(main, "late"), late);
    // A param holds no children.
    EXPECT_EQ(tree.AddToId(4, false, "child"), 0u);
    EXPECT_EQ(tree.iCountParams(4), 0u);
}

TEST_F(LevelTree, DeleteRemovesTheSubtreeAndLookupsFindTheNext) {
    ASSERT_EQ(tree.iLookId("-300"), 6u);  // build the index before deleting
    const unsigned a = tree.AddToId(side, false, "dup"), b = tree.AddToId(side, false, "dup");
    const unsigned c = tree.AddToId(cameras, false, "dup");
    EXPECT_TRUE(tree.DeleteById(main));
    EXPECT_EQ(tree.TopId(cameras), side);
    EXPECT_EQ(tree.iCountKnots(cameras), 1u);
    EXPECT_EQ(tree.nodeCount(), 5u);
    for (unsigned gone : {main, position, 4u, 5u, 6u}) EXPECT_TRUE(tree.iLookName(gone) == "" && !tree.TopId(gone));
    EXPECT_EQ(tree.iLookId("main"), 0u);
    EXPECT_EQ(tree.iLookId("-300"), 0u);
    EXPECT_EQ(tree.iLookInFor(main, "_POSITION_"), 0u);
    EXPECT_FALSE(tree.DeleteById(main));
    EXPECT_EQ(tree.iLookId("dup"), a);
    tree.DeleteById(a);
    EXPECT_EQ(tree.iLookId("dup"), b);
    EXPECT_EQ(tree.iLookInFor(side, "dup"), b);
    tree.DeleteById(b);
    EXPECT_EQ(tree.iLookId("dup"), c);
    EXPECT_EQ(tree.iLookInFor(side, "dup"), 0u);
    EXPECT_EQ(tree.iCountParams(side), 0u);
    EXPECT_EQ(tree.AddToId(cameras, true, "main"), 11u);  // ids are not reused
    EXPECT_EQ(tree.iLookId("main"), 11u);
    // The command queue's use: append lines, delete the first.
    const unsigned root = tree.AddToId(0, true, "TIME_LINE");
    for (int i = 0; i < 1000; ++i) {
        tree.AddToId(root, false, ("line " + std::to_string(i)).c_str());
        if (i % 2 == 1) tree.DeleteById(tree.TopId(root));
    }
    EXPECT_EQ(tree.iCountParams(root), 500u);
    EXPECT_EQ(tree.iLookName(tree.TopId(root)), "line 500");
    // fresh() empties the tree and restarts ids.
    tree.fresh();
    EXPECT_EQ(tree.nodeCount(), 0u);
    EXPECT_EQ(tree.TopId(0), 0u);
    EXPECT_EQ(tree.iLookId("line 999"), 0u);
    EXPECT_EQ(tree.AddToId(0, true, "TIME_LINE"), 1u);
}

TEST_F(LevelTree, AbsentIdsAreHarmless) {
    for (unsigned id : {0u, 99u, 0xFFFFFFFFu}) {
        EXPECT_EQ(tree.iLookName(id), "");
        EXPECT_EQ(tree.NextId(id), 0u);
        EXPECT_FALSE(tree.DeleteById(id));
        EXPECT_EQ(tree.TopId(id), 0u);
        EXPECT_EQ(tree.iCountParams(id) + tree.iCountKnots(id), 0u);
        EXPECT_EQ(tree.iLookInFor(id, "main"), 0u);
        if (id == 0) continue;
        EXPECT_EQ(tree.AddToId(id, false, "x"), 0u);
        EXPECT_EQ(tree.AddToIdSeparated(id, Korvane_string("a,b"), ','), 0u);
    }
    // Chained lookups through a missing key, as loaders do.
    EXPECT_EQ(tree.iLookName(tree.TopId(tree.iLookInFor(main, "_LOOK_"))), "");
    EXPECT_EQ(tree.nodeCount(), 7u);
}

TEST(DynamicRowTexts, SeparatedPiecesLongTextsAndNul) {
    DynamicRow tree;
    const unsigned k = tree.AddToId(0, true, "K");
    EXPECT_EQ(tree.AddToIdSeparated(k, Korvane_string(" 1 ,\t2,, 3 ,"), ','), 5u);
    EXPECT_EQ(childTexts(tree, k), (std::vector<std::string>{"1", "2", "", "3", ""}));
    const unsigned e = tree.AddToId(0, true, "E");
    EXPECT_EQ(tree.AddToIdSeparated(e, Korvane_string("   "), ','), 0u);
    EXPECT_EQ(tree.iCountParams(e), 0u);
    DynamicRow texts;  // texts are cut at 1023 bytes and end at a NUL
    const unsigned id = texts.AddToId(0, false, std::string_view(std::string(3000, 'q')));
    EXPECT_EQ(texts.text(id), std::string(1023, 'q'));
    const unsigned nul = texts.AddToId(0, false, std::string_view("ab\0cd", 5));
    EXPECT_EQ(texts.text(nul), "ab");
    EXPECT_EQ(texts.iLookId("ab"), nul);
    EXPECT_EQ(texts.iLookId(""), 0u);
    EXPECT_EQ(texts.iLookId(""), texts.AddToId(0, false, ""));
}

TEST(DynamicRowCopy, CopiesAreIndependentAndMovedFromTreesUsable) {
    DynamicRow a;
    a.AddToId(0, true, "A");
    a.iLookId("A");
    DynamicRow b = a;
    b.AddToId(1, false, "child");
    EXPECT_EQ(a.nodeCount(), 1u);
    EXPECT_EQ(b.iLookId("child"), 2u);
    EXPECT_EQ(a.iLookId("child"), 0u);
    DynamicRow c = std::move(b);
    EXPECT_EQ(c.iLookInFor(1, "child"), 2u);
    EXPECT_EQ(b.nodeCount(), 0u);  // NOLINT(bugprone-use-after-move)
    EXPECT_EQ(b.firstTopLevelId(), 0u);
    EXPECT_EQ(b.AddToId(0, true, "again"), 1u);
    a = std::move(c);
    EXPECT_EQ(a.iLookId("child"), 2u);
    EXPECT_EQ(c.AddToId(0, false, "x"), 1u);
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
        ASSERT_EQ(tree.iLookId(name.c_str()), expected) << name;
        ASSERT_EQ(tree.iLookInFor(root, name.c_str()), expected) << name;
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
