// InputSource: what the per-frame controls read from the desktop: the
// keyboard, the key presses since the last frame, the clipboard, the cursor
// and the mouse buttons. The window provides it; tests provide their own.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/key_press_queue.h"

namespace krovane::platform {

// The bits of InputSource::mouseButtons.
inline constexpr unsigned kLeftButton = 1, kMiddleButton = 2, kRightButton = 4;

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
    // The mouse buttons held (kLeftButton...); none where there is no mouse.
    virtual unsigned mouseButtons() const { return 0; }
};

}  // namespace krovane::platform
