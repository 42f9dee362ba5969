// loggedLines: the lines a log (or a console's log) has stored after its
// header, with the name of each line's type ("" for none), for tests that
// check what was printed.
#pragma once

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "log/console_log.h"

namespace krovane::test {

struct LoggedLine {
    std::string text, type;
    bool operator==(const LoggedLine&) const = default;
    friend void PrintTo(const LoggedLine& line, std::ostream* os) {
        *os << '{' << line.text << ", " << line.type << '}';
    }
};

inline std::vector<LoggedLine> loggedLines(const krovane::log::ConsoleLog& lines) {
    const DynamicRow& log = lines.tree();
    std::vector<LoggedLine> out;
    for (unsigned id = log.NextId(log.TopId(lines.root())); id != 0; id = log.NextId(id))
        out.push_back({std::string(log.text(id)), std::string(log.text(log.TopId(id)))});
    return out;
}

// The same lines from line `from` on, without their time stamps ("[12:345] "), for tests that
// check what was printed rather than when.
inline std::vector<LoggedLine> loggedMessages(const krovane::log::ConsoleLog& lines, std::size_t from = 0) {
    std::vector<LoggedLine> out = loggedLines(lines);
    out.erase(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(std::min(from, out.size())));
    for (LoggedLine& line : out) {
        const std::size_t end = line.text.find("] ");
        if (!line.text.empty() && line.text[0] == '[' && end != std::string::npos &&
            line.text.find_first_not_of("0123456789:", 1) == end)
            line.text.erase(0, end + 2);
    }
    return out;
}

// The same for the log of a console.
template <class Console>
std::vector<LoggedLine> loggedMessages(const Console& console, std::size_t from = 0) {
    return loggedMessages(console.log(), from);
}

}  // namespace krovane::test
