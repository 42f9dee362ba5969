// TreeJson: trees survive the trip through JSON byte for byte, the JSON has
// the documented shape, and every JSON that does not describe a tree is
// refused with what is wrong and where, leaving the tree empty.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "params/dynamic_row.h"
#include "params/tree_walk.h"
#include "tree_json.h"

namespace {

using krovane::tools::TreeJson;

// One line per node in file order: depth, kind and text. Built without
// recursion so that very deep trees can be compared too.
struct Row {
    unsigned depth;
    bool knot;
    std::string text;
    bool operator==(const Row&) const = default;
};

std::vector<Row> outline(const DynamicRow& tree) {
    std::vector<Row> rows;
    krovane::params::walkTree(
        tree,
        [&](unsigned id, unsigned depth) {
            rows.push_back({depth, tree.isKnot(id), std::string(tree.text(id))});
            return true;
        },
        [](unsigned, unsigned) {});
    return rows;
}

DynamicRow parseTree(std::string_view text) {
    DynamicRow tree;
    EXPECT_TRUE(tree.loadFromText(text, "test")) << tree.lastLoadError().describe();
    return tree;
}

std::string toJson(const DynamicRow& tree, bool pretty) {
    std::string json;
    TreeJson::write(tree, json, pretty);
    return json;
}

// Reads JSON that must describe a tree.
DynamicRow fromJson(std::string_view json) {
    DynamicRow tree;
    std::string error;
    EXPECT_TRUE(TreeJson::read(json, tree, error)) << error;
    return tree;
}

// A chain of `depth` knots, each inside the one before, named k.
DynamicRow chain(unsigned depth) {
    DynamicRow tree;
    unsigned parent = 0;
    for (unsigned i = 0; i < depth; ++i) parent = tree.AddToId(parent, true, "k");
    return tree;
}

// "[{"k":[" ... "]}]" with `depth` knots, as a script might write it.
std::string chainJson(unsigned depth) {
    std::string json = "[";
    for (unsigned i = 0; i < depth; ++i) json += "{\"k\":[";
    for (unsigned i = 0; i < depth; ++i) json += "]}";
    return json + "]";
}

// Cyrillic "Привет" in code page 1251 and in UTF-8.
constexpr std::string_view kPrivetCp1251 = "\xCF\xF0\xE8\xE2\xE5\xF2";
constexpr std::string_view kPrivetUtf8 = "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82";

// ---------------------------------------------------------------------------
// Round trips

TEST(TreeJsonRoundTrip, AwkwardTextsAndShapesComeBackUnchanged) {
    // Cyrillic, the unassigned byte 0x98, quotes, braces, comment signs,
    // blanks, control bytes, a backslash, empty texts and empty knots, at the
    // top level and inside knots.
    const DynamicRow tree = parseTree(
        "\"\xCF\xF0\xE8\xE2\xE5\xF2\" { \"\x98\" \"\xCF\x98\xF2\" }\n"
        "\"say \"\"hi\"\"\" \"{\" \"}\" \"{ }\" \"a#b\" \"#\"\n"
        "\" lead and trail \" \"tab\there\" \"line\nbreak\" \"\x01\x1F\x7F\" \"C:\\path\\\"\n"
        "\"\" { \"\" }\n"
        "empty {} \"\" {}\n"
        "outer { inner { deepest {} } \"\" }\n"
        "last\n");
    const std::vector<Row> expected = outline(tree);
    ASSERT_EQ(expected.size(), 23u);

    for (const bool pretty : {false, true}) {
        SCOPED_TRACE(pretty ? "pretty" : "compact");
        const DynamicRow back = fromJson(toJson(tree, pretty));
        EXPECT_EQ(outline(back), expected);
        EXPECT_EQ(back.nodeCount(), tree.nodeCount());
        // Ids follow the same order, so the two trees save to the same file.
        std::string original, copy;
        tree.writeText(original);
        back.writeText(copy);
        EXPECT_EQ(copy, original);
    }
}

TEST(TreeJsonRoundTrip, EveryByteValueSurvives) {
    // Bytes 1 to 255 in one text: the whole of code page 1251, including 0x98
    // (which has no character of its own) and the control bytes.
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    DynamicRow tree;
    const unsigned knot = tree.AddToId(0, true, all);
    tree.AddToId(knot, false, all);
    const DynamicRow back = fromJson(toJson(tree, false));
    EXPECT_EQ(outline(back), outline(tree));
    EXPECT_EQ(back.text(1), all);
}

TEST(TreeJsonRoundTrip, EmptyTreeIsAnEmptyArray) {
    const DynamicRow empty;
    EXPECT_EQ(toJson(empty, false), "[]");
    EXPECT_EQ(toJson(empty, true), "[]");
    for (const std::string_view json : {"[]", " [ ] \n", "\n[\n]\n"}) {
        DynamicRow tree = parseTree("stale { content }");
        std::string error;
        EXPECT_TRUE(TreeJson::read(json, tree, error)) << json << ": " << error;
        EXPECT_EQ(tree.nodeCount(), 0u) << json;
    }
}

TEST(TreeJsonRoundTrip, TextsLongestAllowedComeBack) {
    // 1023 bytes is the limit in code page 1251, whatever the UTF-8 length.
    const std::string ascii(1023, 'x');
    std::string cyrillic;
    for (int i = 0; i < 1023; ++i) cyrillic += '\xC6';  // Ж: two bytes in UTF-8
    DynamicRow tree;
    tree.AddToId(tree.AddToId(0, true, ascii), false, cyrillic);
    const DynamicRow back = fromJson(toJson(tree, true));
    EXPECT_EQ(back.text(1), ascii);
    EXPECT_EQ(back.text(2), cyrillic);
}

TEST(TreeJsonRoundTrip, DeepestLoadableTreeWorksBothWaysAndSavesToALoadableFile) {
    // As deep as the tree file reader allows: nothing may recurse, and the
    // pretty form must stay linear in size (indentation stops growing).
    // A moderate depth first, where indentation that grows without end would
    // already show, before the deep one where it would exhaust memory.
    ASSERT_LT(toJson(chain(3000), true).size(), std::size_t{3000} * 1000);

    const unsigned depth = DynamicRow::kMaxDepth;
    const DynamicRow tree = chain(depth);
    for (const bool pretty : {false, true}) {
        SCOPED_TRACE(pretty ? "pretty" : "compact");
        const std::string json = toJson(tree, pretty);
        EXPECT_LT(json.size(), std::size_t{depth} * 1000);
        const DynamicRow back = fromJson(json);
        ASSERT_EQ(back.nodeCount(), depth);
        unsigned id = back.firstTopLevelId();
        unsigned levels = 0;
        for (; id != 0 && back.isKnot(id); id = back.TopId(id)) ++levels;
        EXPECT_EQ(levels, depth);

        std::string file;
        back.writeText(file);
        DynamicRow loaded;
        EXPECT_TRUE(loaded.loadFromText(file, "deep")) << loaded.lastLoadError().describe();
        EXPECT_EQ(loaded.nodeCount(), depth);
    }
    EXPECT_EQ(fromJson(chainJson(depth)).nodeCount(), depth);
}

TEST(TreeJsonRoundTrip, ReadsEscapesAndFreeLayout) {
    // JSON written by hand or by a script: \u escapes (Cyrillic, the euro
    // sign, the unassigned byte as U+0098), the short escapes, raw UTF-8, and
    // blanks and line breaks between all tokens.
    const DynamicRow tree = fromJson(
        "[ \"\\u041f\\u0440\\u0438\\u0432\\u0435\\u0442\" ,\n"
        "  { \"\\u20ac\" : [ \"\\\"\\\\\\/\\b\\f\\n\\r\\t\" , \"\\u0098\" ] } ,\n"
        "  {\"" +
        std::string(kPrivetUtf8) +
        "\":[]}\n"
        "]\n");
    ASSERT_EQ(tree.nodeCount(), 5u);
    EXPECT_EQ(tree.text(1), kPrivetCp1251);
    EXPECT_FALSE(tree.isKnot(1));
    EXPECT_TRUE(tree.isKnot(2));
    EXPECT_EQ(tree.text(2), "\x88");  // the euro sign
    EXPECT_EQ(tree.text(3), "\"\\/\b\f\n\r\t");
    EXPECT_EQ(tree.text(4), "\x98");
    EXPECT_EQ(tree.parentOf(4), 2u);
    EXPECT_EQ(tree.text(5), kPrivetCp1251);
    EXPECT_TRUE(tree.isKnot(5));
    EXPECT_EQ(tree.TopId(5), 0u);
}

TEST(TreeJsonRoundTrip, ReadReplacesEarlierContent) {
    DynamicRow tree = parseTree("old { a b c } older");
    std::string error;
    ASSERT_TRUE(TreeJson::read(R"(["new"])", tree, error)) << error;
    EXPECT_EQ(tree.nodeCount(), 1u);
    EXPECT_EQ(tree.text(1), "new");
    EXPECT_EQ(tree.iLookId("old"), 0u);
}

// ---------------------------------------------------------------------------
// The JSON written

TEST(TreeJsonShape, CompactFormOfASmallTree) {
    const DynamicRow tree = parseTree("_CAMERAS_ { main { _POSITION_ { 0 120 -300 } } }");
    EXPECT_EQ(toJson(tree, false), R"([{"_CAMERAS_":[{"main":[{"_POSITION_":["0","120","-300"]}]}]}])");
}

TEST(TreeJsonShape, ParamsKnotsAndEmptyKnotsSideBySide) {
    const DynamicRow tree = parseTree("a { b {} c } d \"\" {}");
    EXPECT_EQ(toJson(tree, false), R"([{"a":[{"b":[]},"c"]},"d",{"":[]}])");
}

TEST(TreeJsonShape, PrettyFormIndentsTwoSpacesPerLevel) {
    const DynamicRow tree = parseTree("k { p {} q } r");
    EXPECT_EQ(toJson(tree, true),
              "[\n"
              "  {\n"
              "    \"k\": [\n"
              "      {\n"
              "        \"p\": []\n"
              "      },\n"
              "      \"q\"\n"
              "    ]\n"
              "  },\n"
              "  \"r\"\n"
              "]");
}

TEST(TreeJsonShape, TextsAreUtf8WithJsonEscapes) {
    DynamicRow tree;
    tree.AddToId(0, false, kPrivetCp1251);
    tree.AddToId(0, false, "\x98\x88\xB9");  // unassigned, euro, numero
    tree.AddToId(0, false, "q\"b\\t\tn\nc\x01\x1F");
    EXPECT_EQ(toJson(tree, false), "[\"" + std::string(kPrivetUtf8) +
                                       "\",\"\xC2\x98\xE2\x82\xAC\xE2\x84\x96\","
                                       "\"q\\\"b\\\\t\\tn\\nc\\u0001\\u001F\"]");
}

TEST(TreeJsonShape, AppendsToWhatIsAlreadyThere) {
    const DynamicRow tree = parseTree("x");
    std::string out = "prefix:";
    TreeJson::write(tree, out, false);
    EXPECT_EQ(out, R"(prefix:["x"])");
}

// ---------------------------------------------------------------------------
// Refusals

struct Refusal {
    const char* name;
    std::string json;
    const char* place;     // "line L, column C: "
    const char* fragment;  // part of the message that says what is wrong
};

std::string repeat(std::string_view piece, unsigned times) {
    std::string out;
    for (unsigned i = 0; i < times; ++i) out += piece;
    return out;
}

void expectRefused(const Refusal& r) {
    SCOPED_TRACE(r.name);
    // The tree holds content before, so leftovers would show.
    DynamicRow tree = parseTree("before { the read }");
    std::string error;
    EXPECT_FALSE(TreeJson::read(r.json, tree, error));
    EXPECT_TRUE(error.starts_with(r.place)) << "want place " << r.place << "in: " << error;
    EXPECT_NE(error.find(r.fragment), std::string::npos) << "message: " << error;
    EXPECT_EQ(tree.nodeCount(), 0u);
    EXPECT_EQ(tree.firstTopLevelId(), 0u);
}

TEST(TreeJsonRefusal, JsonThatIsNotValid) {
    const Refusal cases[] = {
        {"empty input", "", "line 1, column 1: ", "empty"},
        {"blanks only", " \n ", "line 2, column 2: ", "empty"},
        {"trailing comma", R"(["a",])", "line 1, column 6: ", "Invalid value"},
        {"unclosed array", "[\n\"a\"\n", "line 3, column 1: ", "']'"},
        {"unclosed string", "[\"abc", "line 1, column 6: ", "closing quotation mark"},
        {"two documents", R"(["a"] ["b"])", "line 1, column 7: ", "must not be followed"},
        {"bad escape", R"(["\x"])", "line 1, column 3: ", "escape"},
        {"code page 1251 byte instead of UTF-8", "[\"\xCF\xF0\"]", "line 1, column 3: ", "encoding"},
        {"unpaired high surrogate", R"(["\ud83d"])", "line 1, column 3: ", "surrogate"},
    };
    for (const Refusal& r : cases) expectRefused(r);
}

TEST(TreeJsonRefusal, ShapesThatAreNotTrees) {
    const Refusal cases[] = {
        {"top-level object", R"({"a":[]})", "line 1, column 1: ", "top level must be an array"},
        {"top-level string", R"("a")", "line 1, column 1: ", "top level must be an array"},
        {"top-level number", "12", "line 1, column 1: ", "only strings, objects and arrays"},
        {"object without members", "[\n  {}\n]", "line 2, column 3: ", "one member"},
        {"object with two members", R"([{"a":[],"b":[]}])", "line 1, column 10: ", "exactly one member"},
        {"member value a string", R"([{"a":"b"}])", "line 1, column 7: ", "member must be an array"},
        {"member value an object", R"([{"a":{"b":[]}}])", "line 1, column 7: ", "member must be an array"},
        {"member value a number", R"([{"a":1}])", "line 1, column 7: ", "only strings, objects and arrays"},
        {"array inside an array", R"(["a",["b"]])", "line 1, column 6: ", "must be the value of a knot"},
        {"number", "[\"a\",\n 1.5]", "line 2, column 2: ", "write numbers as strings"},
        {"true", "[ true ]", "line 1, column 3: ", "only strings, objects and arrays"},
        {"false", "[ false ]", "line 1, column 3: ", "only strings, objects and arrays"},
        {"null", "[{\"a\":[null]}]", "line 1, column 8: ", "only strings, objects and arrays"},
        {"error deep inside", "[{\"a\":[{\"b\":[\n\n   \"ok\", {}]}]}]", "line 3, column 10: ", "one member"},
    };
    for (const Refusal& r : cases) expectRefused(r);
}

TEST(TreeJsonRefusal, TextsCodePage1251CannotHold) {
    const Refusal cases[] = {
        {"Chinese character", "[\"ok\",\n  \"ab\xE4\xB8\xAD\"]", "line 2, column 3: ", "U+4E2D"},
        {"Chinese character escaped", R"(["a\u4e2d"])", "line 1, column 2: ", "U+4E2D"},
        {"emoji", "[\"\xF0\x9F\x98\x80\"]", "line 1, column 2: ", "U+1F600"},
        {"emoji as a surrogate pair", R"(["\ud83d\ude00"])", "line 1, column 2: ", "U+1F600"},
        {"lone low surrogate", R"(["\udc00"])", "line 1, column 2: ", "surrogate"},
        {"Latin letter with accent", R"(["caf\u00e9"])", "line 1, column 2: ", "U+00E9"},
        {"in a knot's name", "[{\"x\":[]}, {\"\xE4\xB8\xAD\":[]}]", "line 1, column 13: ", "U+4E2D"},
        {"NUL", R"(["a\u0000b"])", "line 1, column 2: ", "NUL"},
        {"NUL in a knot's name", R"([{"\u0000":[]}])", "line 1, column 3: ", "NUL"},
    };
    for (const Refusal& r : cases) expectRefused(r);
}

TEST(TreeJsonRefusal, TheMessageSaysTheCodePage) {
    DynamicRow tree;
    std::string error;
    ASSERT_FALSE(TreeJson::read(R"(["\u4e2d"])", tree, error));
    EXPECT_NE(error.find("code page 1251"), std::string::npos) << error;
}

TEST(TreeJsonRefusal, TextsOverTheLimit) {
    // The limit counts code page 1251 bytes: 1024 Cyrillic letters are 2048
    // bytes of UTF-8 and too long, 1023 of them (2046 bytes) are fine (above).
    const Refusal cases[] = {
        {"1024 bytes", "[\"" + std::string(1024, 'x') + "\"]", "line 1, column 2: ", "1023"},
        {"1024 Cyrillic letters", "[\"" + repeat("\xD0\x96", 1024) + "\"]", "line 1, column 2: ", "1023"},
        {"1024 escaped letters", "[\"" + repeat("\\u0416", 1024) + "\"]", "line 1, column 2: ", "1023"},
        {"a knot's name", "[{\"" + std::string(2000, 'k') + "\":[]}]", "line 1, column 3: ", "1023"},
    };
    for (const Refusal& r : cases) expectRefused(r);
}

TEST(TreeJsonRefusal, NestingDeeperThanTreeFilesAllow) {
    // One knot more than the tree file reader accepts: refused at the name
    // of the knot too many, rather than writing a file that cannot be loaded.
    const unsigned depth = DynamicRow::kMaxDepth + 1;
    const std::string column = std::to_string(1 + 6 * (depth - 1) + 2);
    const std::string place = "line 1, column " + column + ": ";
    expectRefused({"chain", chainJson(depth), place.c_str(), "nested"});
}

}  // namespace
