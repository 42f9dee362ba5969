// TreeTextFormat: reads and writes parameter trees in their text form.
//
//   file   = { node } ;
//   node   = text [ "{" { node } "}" ] ;   a text followed by "{" is a knot
//   text   = bare | quoted ;
//   bare   = one or more bytes other than blanks, "{", "}", '"', "#" and NUL ;
//   quoted = '"' { any byte but '"' and NUL | '""' } '"' ;  '""' is one quote
//   blanks (space, tab, CR, LF, VT, FF) and comments ("#" to the end of the
//   line, outside quoted texts) may stand between any two tokens.
//
// The writer quotes only the texts that need it, so every tree whose texts
// are 0 to 1023 bytes of values 1 to 255 reads back the same. The full
// description is docs/tree-format.md.
#pragma once

#include <string>
#include <string_view>

#include "params/dynamic_row.h"

namespace krovane::params {

class TreeTextFormat {
public:
    // Appends the nodes of `text` to the (empty) tree. On a syntax error
    // returns false and fills `error` with the line, column and reason; the
    // caller then empties the tree.
    static bool parse(std::string_view text, DynamicRow& tree, TreeLoadError& error);

    // Appends the whole tree to `out`.
    static void write(const DynamicRow& tree, std::string& out);

    // Appends one text, quoted when it must be.
    static void writeText(std::string_view text, std::string& out);
};

}  // namespace krovane::params
