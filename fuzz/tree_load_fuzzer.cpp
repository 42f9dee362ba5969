// Tree file loading: any bytes either load or fail cleanly, and whatever
// loads writes back to text that loads to the same tree.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "params/dynamic_row.h"

namespace {
bool sameTree(const DynamicRow& a, const DynamicRow& b) {
    if (a.nodeCount() != b.nodeCount()) return false;
    // Both trees were loaded without deletes, so ids match node for node.
    for (unsigned id = 1; id <= a.nodeCount(); ++id)
        if (a.text(id) != b.text(id) || a.isKnot(id) != b.isKnot(id) || a.parentOf(id) != b.parentOf(id)) return false;
    return true;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    DynamicRow tree;
    if (!tree.loadFromText(text, "fuzz")) {
        if (tree.nodeCount() != 0 || tree.lastLoadError().line == 0) std::abort();
        return 0;
    }
    std::string written;
    tree.writeText(written);
    DynamicRow again;
    if (!again.loadFromText(written, "rewritten") || !sameTree(tree, again)) std::abort();
    // Lookups over whatever was read.
    if (tree.nodeCount() > 0) {
        const unsigned last = tree.nodeCount();
        const unsigned found = tree.iLookId(tree.text(last));
        if (found == 0 || found > last || tree.text(found) != tree.text(last)) std::abort();
        if (tree.parentOf(last) != 0 && tree.iLookInFor(tree.parentOf(last), tree.text(last)) == 0) std::abort();
        const std::string first(tree.text(1));
        tree.DeleteById(1);
        if (tree.iLookId(first) == 1 || tree.nodeCount() >= last) std::abort();
    }
    return 0;
}
