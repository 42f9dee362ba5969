// Krovane_Console: the engine's typed, time-stamped log, which every
// subsystem prints to and which is saved to "LOG.dr" at shutdown, together
// with the console's command trees and pacing timers.
//
// The log is a parameter tree: a root knot "LOG" (id 1), then one knot per
// stored line in print order, each with one param naming its type
// ("_TEXT_", "_ERROR_", "_COMMENT_", "_SYSTEM_"; none for other type codes).
// The first line is the header with the UTC date and time. Each printed line
// is stamped "[S:MMM] " from the console clock; a stamped line of 87
// characters or more is cut into a first piece of 86 characters and further
// pieces of three blanks and 85 characters, each a line of its own. No line
// is ever removed while the engine runs.
#pragma once

#include <cstdint>

#include "params/dynamic_row.h"
#include "params/korvane_string.h"
#include "platform/frame_timer.h"

namespace krovane::gfx {
class Device;
}

// Type of a log line. Codes outside 0 to 3 are accepted and stored without a type.
enum class MessageType : std::uint16_t { Text = 0, Error = 1, Comment = 2, System = 3 };

class Krovane_Console {
public:
    // Stamped lines shorter than this are stored whole.
    static constexpr std::size_t kCutAt = 85;
    static constexpr const char* kCommandBaseFile = "GlobalCommandBase.DR";

    // Starts the console: the log with its header line, the clock, the
    // command base read from kCommandBaseFile and the "_COMMANDS_" tree.
    // `deviceHolder` is where the engine keeps its device; the console's
    // boxes draw with whatever device it holds then.
    explicit Krovane_Console(krovane::gfx::Device** deviceHolder);
    ~Krovane_Console();
    Krovane_Console(const Krovane_Console&) = delete;
    Krovane_Console& operator=(const Krovane_Console&) = delete;

    // Appends `text` as one or more stamped lines of `type`. Never fails.
    void Print(const Korvane_string& text, MessageType type);
    void Print(const char* text, MessageType type);

    // Writes the log to `file` (an engine path); a file that cannot be
    // written is not reported, and the engine goes on.
    void SaveLog(const char* file);

    // The stored name of a type code: "_TEXT_" ... "_SYSTEM_", or null.
    static const char* typeName(MessageType type);

    // Draws the console's boxes while it is visible; nothing while hidden.
    void Draw(krovane::gfx::Device** deviceHolder);

    krovane::gfx::Device** deviceHolder() const { return device_; }
    const DynamicRow& log() const { return log_; }
    unsigned logRoot() const { return logRoot_; }
    const DynamicRow& commandBase() const { return commandBase_; }
    const DynamicRow& commandsTree() const { return commandsTree_; }

    // Paces showing and hiding; a key press shifts its mark (see FrameTimer).
    krovane::platform::FrameTimer toggleTimer;
    // The pending-command tree of the command queue, set by the engine once it exists.
    DynamicRow* commandQueue = nullptr;
    bool visible = false;

private:
    void addLine(const Korvane_string& line, MessageType type);
    void writeHeader();

    DynamicRow log_;
    unsigned logRoot_ = 0;
    krovane::platform::FrameTimer clock_;
    krovane::gfx::Device** device_;
    DynamicRow commandBase_;
    DynamicRow commandsTree_;
};
