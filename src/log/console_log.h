// ConsoleLog: the engine's typed, time-stamped log, which the console shows
// and which is saved to "LOG.dr" at shutdown.
//
// The log is a parameter tree: a root knot "LOG" (id 1), then one knot per
// stored line in print order, each with one param naming its type
// ("_TEXT_", "_ERROR_", "_COMMENT_", "_SYSTEM_"; none for other type codes).
// The first line is the header with the UTC date and time. Each printed line
// is stamped "[S:MMM] " from the log's clock, started with the log; a stamped
// line of 87 characters or more is cut into a first piece of 86 characters
// and further pieces of three blanks and 85 characters, each a line of its
// own. No line is ever removed while the engine runs.
#pragma once

#include <cstddef>
#include <vector>

#include "log/log.h"
#include "params/dynamic_row.h"
#include "platform/frame_timer.h"
#include "platform/reporter.h"

namespace krovane::log {

class ConsoleLog : public Log {
public:
    // Stamped lines shorter than this are stored whole.
    static constexpr std::size_t kCutAt = 85;

    // Starts the clock and writes the header line.
    ConsoleLog();
    ConsoleLog(const ConsoleLog&) = delete;
    ConsoleLog& operator=(const ConsoleLog&) = delete;

    using Log::Print;
    void Print(const Korvane_string& text, MessageType type) override;

    // From now on hands each Error line's text (without its stamp) to `copy`
    // as well (null: to nothing), for tools that show reasons on stderr.
    void copyErrorsTo(krovane::platform::Reporter* copy) { copy_ = copy; }

    // Writes the log to `file` (an engine path); a file that cannot be
    // written is not reported, and the engine goes on.
    void SaveLog(const char* file) const;

    // "[S:MMM] " from the log's clock, as lines are stamped.
    void stamp(Korvane_string& out) const;

    // The stored name of a type code: "_TEXT_" ... "_SYSTEM_", or null.
    static const char* typeName(MessageType type);

    const DynamicRow& tree() const { return tree_; }
    unsigned root() const { return root_; }
    // Ids of the log's lines (the knots under the root) in print order.
    const std::vector<unsigned>& lineIds() const { return lineIds_; }

private:
    void addLine(const Korvane_string& line, MessageType type);
    void writeHeader();

    DynamicRow tree_;
    unsigned root_ = 0;
    krovane::platform::FrameTimer clock_;
    std::vector<unsigned> lineIds_;
    krovane::platform::Reporter* copy_ = nullptr;
};

}  // namespace krovane::log
