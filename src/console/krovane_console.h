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
//
// While shown (`visible`), the console takes the keyboard through
// UpdateInput and the mouse through MouseEvent, and Draw shows its three
// boxes over the scene: the log view, the input box and the clock box.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "console/console_clock_box.h"
#include "console/console_input_box.h"
#include "console/console_log_view.h"
#include "params/dynamic_row.h"
#include "params/korvane_string.h"
#include "platform/frame_timer.h"

namespace krovane::gfx {
class Device;
}
namespace krovane::platform {
class InputSource;
}

// Type of a log line. Codes outside 0 to 3 are accepted and stored without a type.
enum class MessageType : std::uint16_t { Text = 0, Error = 1, Comment = 2, System = 3 };

class Krovane_Console {
public:
    // Stamped lines shorter than this are stored whole.
    static constexpr std::size_t kCutAt = 85;
    static constexpr const char* kCommandBaseFile = "GlobalCommandBase.DR";
    // The console key toggles at most this often.
    static constexpr std::uint32_t kToggleMilliseconds = 336;
    // While shown, the console key held down closes it once this has passed
    // since the last check (a key press shifts the mark, so at once after one).
    static constexpr std::uint32_t kCloseCheckMilliseconds = 1608;

    // Starts the console: the log with its header line, the clock, the
    // command base read from kCommandBaseFile and the "_COMMANDS_" tree.
    // The console keeps no device: Draw is given the one to draw on.
    Krovane_Console();
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
    // Sets the solid fill mode first (the scene may be wireframe), then
    // draws the log view, the input box and the clock box, and sets the
    // clock box's text to the clock's stamp for the next frame. `device` is
    // borrowed for the call; without one the boxes draw nothing.
    void Draw(krovane::gfx::Device* device);

    // Shows or hides the console when kToggleMilliseconds have passed on
    // `toggleTimer` since its last reset (then resets it); else nothing.
    void ToggleConsole();
    // The keyboard step of a frame while the console is shown: the input box
    // edits its line from the keyboard state (and the clipboard for a
    // paste); then, once kCloseCheckMilliseconds have passed on
    // `toggleTimer`, the timer is reset and the console key held closes the console.
    void UpdateInput(const krovane::platform::InputSource& input);
    // A mouse event (Console_Box::kMouseMove, kMousePress, kMouseRelease) in
    // client pixels, while shown: offered to the clock box, then the input
    // box, then the log view, until one takes it.
    void MouseEvent(std::uint16_t type, std::int32_t mouseX, std::int32_t mouseY);
    // Adds `milliseconds` to the marks of `toggleTimer` and of the input
    // box's repeat timer: the main loop does so on every key press.
    void ShiftPacingMarks(std::uint32_t milliseconds);
    // Gives the console and its input box the command queue's pending tree.
    void setCommandQueue(DynamicRow* pending);

    // Ids of the log's lines (the knots under the root) in print order.
    const std::vector<unsigned>& lineIds() const { return lineIds_; }

    const DynamicRow& log() const { return log_; }
    unsigned logRoot() const { return logRoot_; }
    const DynamicRow& commandBase() const { return commandBase_; }
    const DynamicRow& commandsTree() const { return commandsTree_; }

    // Paces showing and hiding; a key press shifts its mark (see FrameTimer).
    krovane::platform::FrameTimer toggleTimer;
    // The pending-command tree of the command queue, set by the engine once it exists.
    DynamicRow* commandQueue = nullptr;
    std::unique_ptr<Console_InputBox> inputBox;
    std::unique_ptr<Console_LogView> logView;
    std::unique_ptr<Console_ClockBox> clockBox;
    bool visible = false;

private:
    void addLine(const Korvane_string& line, MessageType type);
    void writeHeader();
    // "[S:MMM] " from the console clock.
    void stamp(Korvane_string& out) const;

    DynamicRow log_;
    unsigned logRoot_ = 0;
    krovane::platform::FrameTimer clock_;
    DynamicRow commandBase_;
    DynamicRow commandsTree_;
    std::vector<unsigned> lineIds_;
};
