// TreeJson: trees survive the trip through JSON byte for byte, the JSON has
// the documented shape, and JSON that does not describe a tree is refused
// with the exact message and place, leaving the tree empty.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "params/dynamic_row.h"
#include "params/tree_text.h"
#include "tree_json.h"

namespace {

using namespace krovane::test;
using krovane::tools::TreeJson;

std::string repeat(std::string_view piece, unsigned times) {
    std::string out;
    while (times-- > 0) out += piece;
    return out;
}

std::string toJson(const DynamicRow& tree, bool pretty) {
    std::string json = "kept:";  // write appends
    TreeJson::write(tree, json, pretty);
    EXPECT_TRUE(json.starts_with("kept:"));
    return json.substr(5);
}

// Reads JSON into a tree that holds content before, so that leftovers would show.
DynamicRow fromJson(std::string_view json) {
    DynamicRow tree = parse("stale { content }");
    std::string error;
    EXPECT_TRUE(TreeJson::read(json, tree, error)) << error;
    return tree;
}

// A chain of `depth` knots named k, each inside the one before, as a tree and as JSON.
DynamicRow chain(unsigned depth) { return parse(repeat("k{", depth) + repeat("}", depth)); }
std::string chainJson(unsigned depth) { return "[" + repeat("{\"k\":[", depth) + repeat("]}", depth) + "]"; }

TEST(TreeJson, AwkwardTreesComeBackUnchanged) {
    // Cyrillic, byte 0x98, quotes, braces, comment signs, blanks, control bytes, a backslash, empty texts
    // and knots, every byte value, texts of 1023 bytes of code page 1251 whatever their UTF-8 length.
    DynamicRow tree = parse(
        "\"\xCF\xF0\xE8\xE2\xE5\xF2\" { \"\x98\" \"\xCF\x98\xF2\" }\n"
        "\"say \"\"hi\"\"\" \"{\" \"}\" \"{ }\" \"a#b\" \"#\"\n"
        "\" lead \" \"tab\there\" \"line\nbreak\" \"\x01\x1F\x7F\" \"C:\\path\\\"\n"
        "\"\" { \"\" } empty {} \"\" {} outer { inner { deepest {} } \"\" } last\n");
    std::string every;
    for (int b = 1; b < 256; ++b) every += static_cast<char>(b);
    tree.AddToId(tree.AddToId(0, true, every), false, every);
    tree.AddToId(tree.AddToId(0, true, std::string(1023, 'x')), false, std::string(1023, '\xC6'));
    for (const bool pretty : {false, true})
        EXPECT_EQ(written(fromJson(toJson(tree, pretty))), written(tree)) << (pretty ? "pretty" : "compact");
}

TEST(TreeJson, DeepestLoadableTreeWorksBothWaysInLinearSize) {
    // Nothing may recurse, and the pretty form stays linear in size (indentation stops growing):
    // a moderate depth shows it before the deepest one would exhaust memory.
    ASSERT_LT(toJson(chain(3000), true).size(), std::size_t{3000} * 1000);
    const unsigned depth = DynamicRow::kMaxDepth;
    const std::string expected = written(chain(depth));
    for (const bool pretty : {false, true}) {
        const std::string json = toJson(chain(depth), pretty);
        EXPECT_LT(json.size(), std::size_t{depth} * 1000);
        EXPECT_EQ(written(fromJson(json)), expected);
    }
    EXPECT_EQ(written(fromJson(chainJson(depth))), expected);
}

TEST(TreeJson, WritesTheDocumentedShape) {
    EXPECT_TRUE(toJson(DynamicRow(), false) == "[]" && toJson(DynamicRow(), true) == "[]");
    EXPECT_EQ(toJson(parse("a { b {} c } d \"\" {}"), false), R"([{"a":[{"b":[]},"c"]},"d",{"":[]}])");
    EXPECT_EQ(toJson(parse("k { p {} q } r"), true),
              "[\n  {\n    \"k\": [\n      {\n        \"p\": []\n      },\n      \"q\"\n    ]\n  },\n  \"r\"\n]");
    // UTF-8 (Привет; unassigned, euro, numero) and JSON escapes.
    DynamicRow texts;
    for (const char* text : {"\xCF\xF0\xE8\xE2\xE5\xF2", "\x98\x88\xB9", "q\"b\\t\tn\nc\x01\x1F\b\f\r"})
        texts.AddToId(0, false, text);
    EXPECT_EQ(toJson(texts, false),
              "[\"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\",\"\xC2\x98\xE2\x82\xAC\xE2\x84\x96\","
              "\"q\\\"b\\\\t\\tn\\nc\\u0001\\u001F\\b\\f\\r\"]");
}

TEST(TreeJson, ReadsEscapesAndFreeLayout) {
    // As a script writes it: \u escapes (Привет, the euro sign, U+0098), the
    // short escapes, raw UTF-8, blanks between all tokens; empty arrays.
    EXPECT_EQ(written(fromJson(
                  "[ \"\\u041f\\u0440\\u0438\\u0432\\u0435\\u0442\" ,\n"
                  "  { \"\\u20ac\" : [ \"\\\"\\\\\\/\\b\\f\\n\\r\\t\" , \"\\u0098\" ] } ,\n"
                  "  {\"\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82\":[]}\n]\n")),
              written(parse("\xCF\xF0\xE8\xE2\xE5\xF2 \x88 { \"\"\"\\/\b\f\n\r\t\" \"\x98\" }\n"
                                 "\xCF\xF0\xE8\xE2\xE5\xF2 {}")));
    for (const std::string_view json : {"[]", " [ ] \n", "\n[\n]\n"}) EXPECT_EQ(fromJson(json).nodeCount(), 0u);
}

TEST(TreeJson, RefusesWhatIsNoTreeWithPlaceAndReason) {
    const std::string cp = ", which code page 1251 cannot hold";
    const std::string mustBeArray = "a knot's member must be an array";
    const std::string onlyStrings = "only strings, objects and arrays may appear (write numbers as strings)";
    const std::string tooLong = " bytes long in code page 1251; the limit is 1023";
    const unsigned deep = DynamicRow::kMaxDepth + 1;
    const std::pair<std::string, std::string> cases[] = {
        // Not JSON.
        {"[\n\"a\"\n", "line 3, column 1: Missing a comma or ']' after an array element."},
        {"[\"\xCF\xF0\"]", "line 1, column 3: Invalid encoding in string."},
        // Not a tree.
        {R"({"a":[]})", "line 1, column 1: the top level must be an array"},
        {"12", "line 1, column 1: " + onlyStrings},
        {R"([{"a":[],"b":[]}])", "line 1, column 10: a knot object must have exactly one member"},
        {R"([{"a":"b"}])", "line 1, column 7: " + mustBeArray},
        {R"([{"a":{"b":[]}}])", "line 1, column 7: " + mustBeArray},
        {R"(["a",["b"]])", "line 1, column 6: an array must be the value of a knot's member"},
        {"[\"a\",\n 1.5]", "line 2, column 2: " + onlyStrings},
        {"[ true ]", "line 1, column 3: " + onlyStrings},
        {"[{\"a\":[null]}]", "line 1, column 8: " + onlyStrings},
        {"[{\"a\":[{\"b\":[\n\n   \"ok\", {}]}]}]", "line 3, column 10: a knot object needs one member, named by the knot"},
        {chainJson(deep), "line 1, column " + std::to_string(6 * deep - 3) + ": knots nested more than " +
                              std::to_string(deep - 1) + " deep"},
        // Texts code page 1251 cannot hold, or too long for a tree.
        {"[\"ok\",\n  \"ab\xE4\xB8\xAD\"]", "line 2, column 3: the text \"ab\xE4\xB8\xAD\" holds U+4E2D (at byte 2)" + cp},
        {R"(["\ud83d\ude00"])", "line 1, column 2: the text \"\xF0\x9F\x98\x80\" holds U+1F600 (at byte 0)" + cp},
        {R"(["caf\u00e9"])", "line 1, column 2: the text \"caf\xC3\xA9\" holds U+00E9 (at byte 3)" + cp},
        {"[{\"x\":[]}, {\"\xE4\xB8\xAD\":[]}]", "line 1, column 13: the text \"\xE4\xB8\xAD\" holds U+4E2D (at byte 0)" + cp},
        {R"(["\udc00"])", "line 1, column 2: the text \"???\" holds an unpaired surrogate escape, which is no character"},
        {R"(["a\u0000b"])", "line 1, column 2: the text \"a?b\" contains the NUL character (\\u0000)"},
        {"[\"" + std::string(1024, 'x') + "\"]",
         "line 1, column 2: the text \"" + std::string(40, 'x') + "...\" is 1024" + tooLong},
        {"[\"" + repeat("\xD0\x96", 1024) + "\"]",
         "line 1, column 2: the text \"" + repeat("\xD0\x96", 40) + "...\" is 1024" + tooLong},
        {"[{\"" + std::string(2000, 'k') + "\":[]}]",
         "line 1, column 3: the text \"" + std::string(40, 'k') + "...\" is 2000" + tooLong},
    };
    for (const auto& [json, message] : cases) {
        DynamicRow tree = parse("before { the read }");
        std::string error;
        EXPECT_TRUE(!TreeJson::read(json, tree, error) && tree.nodeCount() == 0) << json.substr(0, 60);
        EXPECT_EQ(error, message) << json.substr(0, 60);
    }
}

}  // namespace
