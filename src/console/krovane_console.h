// Krovane_Console: the engine's console. It keeps the log (ConsoleLog), which
// every part of the engine prints to through the Log interface and which is
// saved to "LOG.dr" at shutdown, the command base, and while shown three
// boxes over the scene: the log view, the input box and the clock box.
//
// Input reaches it on one route, from the main loop: while shown
// (`visible()`) it has the keyboard and the mouse (hasKeyboard, hasMouse) and
// takes them through UpdateInput and MouseEvent; while hidden it sees only
// its own key, through openOnKey. The main loop reports each key press
// (keyPressed) just before it hands the console that press's keyboard;
// what that does to the pacing is the console's affair, and nothing outside
// it touches its timers.
#pragma once

#include <cstdint>
#include <memory>

#include "console/console_clock_box.h"
#include "console/console_input_box.h"
#include "console/console_log_view.h"
#include "log/console_log.h"
#include "log/log.h"
#include "params/dynamic_row.h"
#include "platform/frame_timer.h"

namespace krovane::gfx {
class Device;
}
namespace krovane::platform {
class InputSource;
}

class Krovane_Console : public krovane::log::Log {
public:
    static constexpr const char* kCommandBaseFile = "GlobalCommandBase.DR";
    // The console key toggles at most this often.
    static constexpr std::uint32_t kToggleMilliseconds = 336;
    // While shown, the console key held down closes it once this has passed
    // since the last check (a key press shifts the mark, so at once after one).
    static constexpr std::uint32_t kCloseCheckMilliseconds = 1608;
    // How far a key press moves the pacing marks (see keyPressed).
    static constexpr std::uint32_t kKeyPressShift = 100000;

    // Starts the console: the log with its header line, the command base
    // read from kCommandBaseFile, hidden. It keeps no device (see Draw).
    Krovane_Console();
    ~Krovane_Console() override;
    Krovane_Console(const Krovane_Console&) = delete;
    Krovane_Console& operator=(const Krovane_Console&) = delete;

    // Appends `text` to the log (see ConsoleLog). Never fails.
    using krovane::log::Log::Print;
    void Print(const Korvane_string& text, MessageType type) override;

    // Writes the log to `file` (an engine path); a file that cannot be
    // written is not reported, and the engine goes on.
    void SaveLog(const char* file);

    // Draws the console's boxes while it is visible; nothing while hidden.
    // Sets the solid fill mode first (the scene may be wireframe), then
    // draws the log view, the input box and the clock box, and sets the
    // clock box's text to the log's stamp for the next frame. `device` is
    // borrowed for the call; without one the boxes draw nothing.
    void Draw(krovane::gfx::Device* device);

    // Shown or hidden. setVisible shows or hides at once, past the pacing.
    bool visible() const { return visible_; }
    void setVisible(bool shown) { visible_ = shown; }
    // Whether the keyboard and the mouse of this frame are the console's:
    // while it is shown.
    bool hasKeyboard() const { return visible_; }
    bool hasMouse() const { return visible_; }

    // Shows or hides the console when kToggleMilliseconds have passed on the
    // toggle timer since its last reset (then resets it); else nothing.
    void ToggleConsole();
    // The keyboard step of a frame while the console is hidden: with the
    // console key down, ToggleConsole, then both pacing timers are reset.
    // Reset every frame the key is held, so only a key press (which shifts
    // the marks) lets the console open, and it does not open again and again.
    void openOnKey(const krovane::platform::InputSource& input);
    // The same from a given keyboard state (a key press's); without
    // `mayToggle` the timers are reset but the console stays as it is.
    void openOnKey(const std::uint8_t keys[256], bool mayToggle);
    // The keyboard step of a frame while the console is shown: the input box
    // edits its line from the keyboard state (and the clipboard for a
    // paste); then, once kCloseCheckMilliseconds have passed on the toggle
    // timer, the timer is reset and the console key held closes the console.
    void UpdateInput(const krovane::platform::InputSource& input);
    // The same from a given keyboard state: a key press's, whose key
    // `pressed` is typed first (see Console_InputBox::HandleKeys). Without
    // `mayClose` the toggle timer is reset as usual but the console stays.
    void UpdateInput(const std::uint8_t keys[256], std::uint8_t pressed, const krovane::platform::InputSource& input,
                     bool mayClose);
    // A mouse event (Console_Box::kMouseMove, kMousePress, kMouseRelease) in
    // client pixels, while shown: offered to the clock box, then the input
    // box, then the log view, until one takes it. Hidden, it takes none.
    void MouseEvent(std::uint16_t type, std::int32_t mouseX, std::int32_t mouseY);
    // A key press (or its auto-repeat): the toggle and repeat timers' marks
    // move kKeyPressShift on, so their next checks pass at once.
    void keyPressed();
    // Where the input box hands each line on Enter (borrowed; null: nowhere).
    void setCommandQueue(krovane::log::LineQueue* queue);

    const krovane::log::ConsoleLog& log() const { return log_; }
    krovane::log::ConsoleLog& log() { return log_; }
    const DynamicRow& commandBase() const { return commandBase_; }
    // Paces showing and hiding; a key press shifts its mark (see FrameTimer).
    const krovane::platform::FrameTimer& toggleTimer() const { return toggleTimer_; }
    // The boxes, for tests and tools that look inside them.
    Console_InputBox& inputBox() { return *inputBox_; }
    Console_LogView& logView() { return *logView_; }
    Console_ClockBox& clockBox() { return *clockBox_; }

private:
    krovane::log::ConsoleLog log_;
    DynamicRow commandBase_;
    krovane::platform::FrameTimer toggleTimer_;
    bool visible_ = false;
    std::unique_ptr<Console_InputBox> inputBox_;
    std::unique_ptr<Console_LogView> logView_;
    std::unique_ptr<Console_ClockBox> clockBox_;
};
