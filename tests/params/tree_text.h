// A tree as one line, to compare whole trees in one assertion: knots as
// text{children}, params as text, siblings separated by '|'.
#pragma once

#include <string>

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

}  // namespace krovane::test
