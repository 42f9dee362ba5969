// Log: where the engine's parts print their lines. The console implements it
// (through ConsoleLog); the scene holds a Log and so needs nothing of the
// console's boxes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "params/korvane_string.h"
#include "platform/code_page_1251.h"

// Type of a log line. Codes outside 0 to 3 are accepted and stored without a type.
enum class MessageType : std::uint16_t { Text = 0, Error = 1, Comment = 2, System = 3 };

namespace krovane::log {

class Log {
public:
    virtual ~Log() = default;

    // Appends `text` as one or more lines of `type`. Never fails.
    virtual void Print(const Korvane_string& text, MessageType type) = 0;
    void Print(const char* text, MessageType type) { Print(Korvane_string(text), type); }
    // Prints each line of `text` (lines end at '\n'; empty ones are left
    // out) as a line of its own: a reason of several lines, as the parts
    // below the log hand them back.
    void printLines(std::string_view text, MessageType type) {
        while (!text.empty()) {
            const std::size_t end = std::min(text.find('\n'), text.size());
            if (end > 0) Print(Korvane_string(text.substr(0, end)), type);
            text.remove_prefix(std::min(end + 1, text.size()));
        }
    }
    // Prints text of the system's (file names, the system's own messages),
    // which is UTF-8, in the log's code page 1251, a character it lacks as
    // '?': the one place where the two meet on the way into the log.
    void printUtf8(std::string_view utf8, MessageType type) {
        Print(Korvane_string(std::string_view(krovane::utf8ToCp1251Lossy(utf8))), type);
    }
};

}  // namespace krovane::log
