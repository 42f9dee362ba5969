// FakeInput: a keyboard, clipboard, cursor and mouse buttons set by the test, in place of the window's.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/input_source.h"

namespace krovane::test {

struct FakeInput : krovane::platform::InputSource {
    std::uint8_t keys[256] = {};
    std::string clipboard;
    int x = 0, y = 0;
    unsigned buttons = 0;  // kLeftButton...
    mutable int clipboardReads = 0;
    krovane::platform::KeyPressQueue presses;

    void keyboardState(std::uint8_t state[256]) const override { std::memcpy(state, keys, 256); }
    std::span<const krovane::platform::KeyPress> keyPresses() const override { return presses.presses(); }
    void clearKeyPresses() override { presses.clear(); }
    std::string clipboardText() const override {
        ++clipboardReads;
        return clipboard;
    }
    void cursorPosition(int& cx, int& cy) const override {
        cx = x;
        cy = y;
    }
    unsigned mouseButtons() const override { return buttons; }
    // A press of `key` (down with it: `alsoHeld`) kept for the next frame; the keyboard as it is now is unchanged.
    void press(std::uint8_t key, const std::vector<std::uint8_t>& alsoHeld = {}) {
        std::uint8_t state[256] = {};
        state[key] = 0x80;
        for (std::uint8_t k : alsoHeld) state[k] = 0x80;
        presses.push(key, state);
    }
    // Exactly these keys down.
    void hold(std::initializer_list<std::uint8_t> held) { hold(std::vector<std::uint8_t>(held)); }
    void hold(const std::vector<std::uint8_t>& held) {
        std::memset(keys, 0, sizeof keys);
        for (std::uint8_t k : held) keys[k] = 0x80;
    }
};

}  // namespace krovane::test
