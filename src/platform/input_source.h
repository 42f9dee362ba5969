// InputSource: what the per-frame controls read from the desktop: the
// keyboard, the key presses since the last frame, the clipboard and the
// cursor. The window provides it; tests provide their own.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/key_press_queue.h"

namespace krovane::platform {

class InputSource {
public:
    virtual ~InputSource() = default;
    // 256 bytes indexed by virtual-key code, 0x80 set for each key held down.
    virtual void keyboardState(std::uint8_t state[256]) const = 0;
    // The key presses (auto-repeats included) since the last clearKeyPresses,
    // oldest first, each with the keyboard at that press.
    virtual std::span<const KeyPress> keyPresses() const = 0;
    virtual void clearKeyPresses() = 0;
    // The clipboard's text in code page 1251; empty when there is none.
    virtual std::string clipboardText() const = 0;
    // The cursor in client coordinates.
    virtual void cursorPosition(int& x, int& y) const = 0;
};

}  // namespace krovane::platform
