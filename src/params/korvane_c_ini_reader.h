// Korvane_cIniReader: reads the start-up configuration ("ini.txt") into a
// parameter tree.
//
// The file holds one setting per line, `KEY = value, value, ...`; blank
// lines, lines starting with ';' or '#' and lines without '=' hold none (see
// Korvane_string::getCommandBlock). The tree has one top-level knot, id 1,
// named "параметры инициализации" (code page 1251); under it one knot per
// setting in file order, named by its key, and under that one param per
// comma-separated value, blanks around it dropped. A key given twice gives two
// knots; lookups find the first.
//
// Lines of any length are read whole (a single value longer than 1023 bytes
// is cut like any text), and the last line keeps every character whether or
// not a line end follows it. A file that cannot be opened shows the "ERROR"
// message box and gives a tree with only the top-level knot.
#pragma once

#include <string_view>

#include "params/dynamic_row.h"
#include "params/korvane_string.h"
#include "platform/code_page_1251.h"

class Korvane_cIniReader {
public:
    // The name of the top-level knot, in code page 1251.
    static constexpr auto kRootName = krovane::cp1251("параметры инициализации");

    virtual ~Korvane_cIniReader() = default;

    DynamicRow LoadIni(Korvane_string file);

    // Adds the settings of configuration text `content` under `parent`: the
    // line reading of LoadIni without the file.
    static void readSettings(std::string_view content, DynamicRow& tree, unsigned parent);
};
