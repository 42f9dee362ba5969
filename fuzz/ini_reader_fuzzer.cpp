// Configuration reading: any bytes give a tree whose settings are knots of
// the top-level knot with only params below them.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "params/korvane_c_ini_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    DynamicRow tree;
    const unsigned top = tree.AddToId(0, true, Korvane_cIniReader::kRootName.view());
    Korvane_cIniReader::readSettings(std::string_view(reinterpret_cast<const char*>(data), size), tree, top);
    for (unsigned key = tree.TopId(top); key != 0; key = tree.NextId(key)) {
        if (!tree.isKnot(key) || tree.text(key).empty() || tree.iCountKnots(key) != 0) std::abort();
        if (tree.text(key).find('=') != std::string_view::npos) std::abort();
    }
    if (tree.NextId(top) != 0) std::abort();
    return 0;
}
