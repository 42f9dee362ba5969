// Console_InputBox: the console's command line. While focused it turns the
// keyboard state of each frame into characters with its own fixed layout,
// edits one line, pastes the clipboard, and on Enter hands the line to the
// command queue.
//
// Sampling is paced by a repeat timer: the keyboard is read at most once per
// kRepeatMilliseconds, except that each key press shifts the timer's mark
// into the future (see FrameTimer), so a key press (or an auto-repeat of it)
// is sampled at once, with the keyboard as it was at that press. A sample
// takes Backspace, then Enter, then at most one character or one paste.
//
// Key layout (left Shift for capitals and symbols; right Shift alone types
// lower case): A-Z; the minus key "-", "_" with either Shift; digits, with
// left Shift "!@#$%^&*()"; keypad Add "=" / "+"; keypad Decimal "\" / "|";
// period "." / ">"; comma "," / "<"; Space; Shift+Insert pastes unless Up or
// Down is held. No other key types anything.
#pragma once

#include <cstdint>

#include "console/console_box.h"
#include "platform/frame_timer.h"

namespace krovane::gfx {
class Texture;
}  // namespace krovane::gfx

namespace krovane::log {
struct LineQueue;
}

namespace krovane::platform {
class InputSource;
}

class Console_InputBox : public Console_Box {
public:
    static constexpr std::uint32_t kRepeatMilliseconds = 1608;
    // A line this long takes no more characters (Backspace and Enter still act).
    static constexpr std::size_t kMaxTypedLength = 200;
    static constexpr const char* kTextureFile = "textures\\_def\\yellow.bmp";

    // Focused, with no queue until setQueue.
    Console_InputBox();
    ~Console_InputBox() override;

    void Draw(krovane::gfx::Device* device) override;
    // Edits the line from one keyboard state (256 bytes, 0x80 for a key down);
    // the clipboard is read only for a paste. `pressed`, when not 0, is the
    // key whose press this sample is: it is typed (or pasted, for Insert)
    // before the layout's order is tried.
    void HandleKeys(const std::uint8_t keys[256], const krovane::platform::InputSource& input,
                    std::uint8_t pressed = 0);

    // The character a keyboard state types, or 0 when none (paste and the
    // editing keys are not characters): `pressed` if it is down and types,
    // else the first key down in layout order.
    static char characterFor(const std::uint8_t keys[256], std::uint8_t pressed = 0);
    // The character `key` types with the given Shift keys down, or 0.
    static char characterOf(std::uint8_t key, bool leftShift, bool eitherShift);

    // Where Enter hands a typed line (borrowed; null: the line is dropped).
    void setQueue(krovane::log::LineQueue* queue) { queue_ = queue; }
    // The console's pacing: a key press moves the mark on, its own key restarts the timer.
    void expireRepeat(std::uint32_t milliseconds) { repeatTimer_.expire(milliseconds); }
    void restartRepeatTimer() { repeatTimer_.Reset(); }

    Korvane_string text;
    krovane::gfx::Ref<krovane::gfx::Texture> texture;

protected:
    void makeExtraResources(krovane::gfx::Device* device) override;
    void releaseExtraResources() override;

private:
    krovane::log::LineQueue* queue_ = nullptr;
    krovane::platform::FrameTimer repeatTimer_;
};
