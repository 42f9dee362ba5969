// TreeJson: converts parameter trees to and from JSON, for people who
// generate levels from scripts.
//
// The JSON is an array of the top-level nodes in order; a param is a string;
// a knot is an object with exactly one member, named by the knot's text,
// whose value is the array of its children:
//   [{"_CAMERAS_": [{"main": [{"_POSITION_": ["0", "120", "-300"]}]}]}]
// Tree texts are code page 1251 and JSON texts UTF-8; converting back refuses
// characters that code page 1251 cannot hold, NUL characters, texts over 1023
// bytes and knots nested deeper than the tree file reader accepts (so that
// every tree read here saves to a file that loads). Both directions work
// without recursion; the pretty form stops indenting further past 40 knots.
#pragma once

#include <string>
#include <string_view>

#include "params/dynamic_row.h"

namespace krovane::tools {

class TreeJson {
public:
    // Appends the tree as JSON to `out`; `pretty` indents it.
    static void write(const DynamicRow& tree, std::string& out, bool pretty);

    // Replaces `tree` with the tree the JSON describes. On failure the tree is
    // empty and `error` says what is wrong and where ("line L, column C: ...",
    // columns in bytes): the start of the value at fault, or the place where
    // the JSON syntax breaks.
    static bool read(std::string_view json, DynamicRow& tree, std::string& error);
};

}  // namespace krovane::tools
