// walkTree: visits a parameter tree in file order without recursion, so that
// writers and tools handle any depth of nesting with constant stack.
#pragma once

#include "params/dynamic_row.h"

namespace krovane::params {

// Calls enter(id, depth) for each node in file order (depth 0 for top-level
// nodes). When enter returns true for a knot with children, its children are
// visited next and then leave(id, depth) is called for the knot; when it
// returns false the children are skipped and leave is not called.
template <class Enter, class Leave>
void walkTree(const DynamicRow& tree, Enter&& enter, Leave&& leave) {
    unsigned depth = 0;
    unsigned id = tree.firstTopLevelId();
    while (id != 0) {
        if (enter(id, depth)) {
            if (const unsigned child = tree.TopId(id); child != 0) {
                ++depth;
                id = child;
                continue;
            }
        }
        // Climb to the next sibling, leaving each knot whose children are done.
        while (id != 0) {
            if (const unsigned next = tree.NextId(id); next != 0) {
                id = next;
                break;
            }
            id = tree.parentOf(id);
            if (id == 0) break;
            --depth;
            leave(id, depth);
        }
    }
}

}  // namespace krovane::params
