// loggedLines: the lines a console has stored after its header, with the
// name of each line's type ("" for none), for tests that check what was printed.
#pragma once

#include <string>
#include <vector>

#include "console/krovane_console.h"

namespace krovane::test {

struct LoggedLine {
    std::string text, type;
    bool operator==(const LoggedLine&) const = default;
};

inline std::vector<LoggedLine> loggedLines(const Krovane_Console& console) {
    const DynamicRow& log = console.log();
    std::vector<LoggedLine> out;
    for (unsigned id = log.NextId(log.TopId(console.logRoot())); id != 0; id = log.NextId(id))
        out.push_back({std::string(log.text(id)), std::string(log.text(log.TopId(id)))});
    return out;
}

}  // namespace krovane::test
