// KeyPressQueue: the key presses that arrived since the last frame, each with
// the whole keyboard as it was at that press. The frame's input step takes
// each as a sample of its own, so a key pressed and released between two
// frames is still typed, in order, however low the frame rate.
//
// It holds a fixed number of presses and never allocates; presses past that
// (a frame stalled for many seconds) are dropped, the oldest kept.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace krovane::platform {

// One key press, or one auto-repeat of it.
struct KeyPress {
    std::uint8_t key = 0;  // the virtual key pressed (see virtual_keys.h)
    // The keyboard at the press, as InputSource::keyboardState gives it; the
    // pressed key is down in it even if it has been released since.
    std::array<std::uint8_t, 256> state{};
};

class KeyPressQueue {
public:
    // Several seconds of the fastest typing or auto-repeat.
    static constexpr std::size_t kCapacity = 128;

    // Keeps a press of `key` with the keyboard `state` (256 bytes); false
    // when the queue is full and the press was dropped.
    bool push(std::uint8_t key, const std::uint8_t state[256]) {
        if (count_ == kCapacity) return false;
        KeyPress& press = presses_[count_++];
        press.key = key;
        std::memcpy(press.state.data(), state, press.state.size());
        return true;
    }
    // The presses kept, oldest first.
    std::span<const KeyPress> presses() const { return {presses_.data(), count_}; }
    void clear() { count_ = 0; }

private:
    std::array<KeyPress, kCapacity> presses_{};
    std::size_t count_ = 0;
};

}  // namespace krovane::platform
