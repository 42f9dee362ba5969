// FakeInput: a keyboard, clipboard and cursor set by the test, in place of the window's.
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
    mutable int clipboardReads = 0;

    void keyboardState(std::uint8_t state[256]) const override { std::memcpy(state, keys, 256); }
    std::string clipboardText() const override {
        ++clipboardReads;
        return clipboard;
    }
    void cursorPosition(int& cx, int& cy) const override {
        cx = x;
        cy = y;
    }
    // Exactly these keys down.
    void hold(std::initializer_list<std::uint8_t> held) { hold(std::vector<std::uint8_t>(held)); }
    void hold(const std::vector<std::uint8_t>& held) {
        std::memset(keys, 0, sizeof keys);
        for (std::uint8_t k : held) keys[k] = 0x80;
    }
};

}  // namespace krovane::test
