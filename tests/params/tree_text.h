// Trees in tests as text: shape() gives a whole tree as one line (knots as
// text{children}, params as text, siblings separated by '|'), parse() reads
// well-formed tree text, written() gives a tree's file text.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "params/dynamic_row.h"

namespace krovane::test {

inline std::string shape(const DynamicRow& tree, unsigned parent = 0) {
    std::string out;
    for (unsigned id = parent ? tree.TopId(parent) : tree.firstTopLevelId(); id != 0; id = tree.NextId(id)) {
        if (!out.empty()) out += '|';
        out += tree.text(id);
        if (tree.isKnot(id)) out += "{" + shape(tree, id) + "}";
    }
    return out;
}

inline DynamicRow parse(std::string_view text) {
    DynamicRow tree;
    EXPECT_TRUE(tree.loadFromText(text, "test")) << tree.lastLoadError().describe();
    return tree;
}

inline std::string written(const DynamicRow& tree) {
    std::string text;
    tree.writeText(text);
    return text;
}

}  // namespace krovane::test
