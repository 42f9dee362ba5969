// Virtual keys by keyboard position, and the 256 key bytes built from SDL's
// keyboard state, with the either-side modifier codes.
#include <gtest/gtest.h>

#include <SDL2/SDL_scancode.h>  // by its SDL2/ path: the tests get no SDL include folder

#include <cstdint>
#include <vector>

#include "platform/virtual_keys.h"

namespace {

namespace kp = krovane::platform;

TEST(VirtualKeys, LayoutByPosition) {
    // Letters, digits, function and keypad keys run in order; SDL puts 0 after 9.
    for (int i = 0; i < 26; ++i) EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_A + i), 'A' + i) << i;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_1 + i), '0' + (i + 1) % 10) << i;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_KP_1 + i), 0x60 + (i + 1) % 10);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_F1 + i), 0x70 + i) << i;
    // Anchors: the console key left of 1, punctuation, navigation, both Enters, each side's modifiers;
    // keys without a code and numbers that are no scancode give 0.
    const int anchors[][2] = {{SDL_SCANCODE_GRAVE, 0xC0}, {SDL_SCANCODE_MINUS, 0xBD}, {SDL_SCANCODE_EQUALS, 0xBB},
                              {SDL_SCANCODE_LEFTBRACKET, 0xDB}, {SDL_SCANCODE_BACKSLASH, 0xDC},
                              {SDL_SCANCODE_SEMICOLON, 0xBA}, {SDL_SCANCODE_APOSTROPHE, 0xDE},
                              {SDL_SCANCODE_SLASH, 0xBF}, {SDL_SCANCODE_LEFT, 0x25}, {SDL_SCANCODE_UP, 0x26},
                              {SDL_SCANCODE_RIGHT, 0x27}, {SDL_SCANCODE_DOWN, 0x28}, {SDL_SCANCODE_PAGEUP, 0x21},
                              {SDL_SCANCODE_PAGEDOWN, 0x22}, {SDL_SCANCODE_DELETE, 0x2E}, {SDL_SCANCODE_KP_PLUS, 0x6B},
                              {SDL_SCANCODE_KP_PERIOD, 0x6E}, {SDL_SCANCODE_RETURN, 0x0D},
                              {SDL_SCANCODE_KP_ENTER, 0x0D}, {SDL_SCANCODE_LSHIFT, 0xA0}, {SDL_SCANCODE_RSHIFT, 0xA1},
                              {SDL_SCANCODE_LCTRL, 0xA2}, {SDL_SCANCODE_RALT, 0xA5}, {SDL_SCANCODE_UNKNOWN, 0},
                              {SDL_SCANCODE_MUTE, 0}, {SDL_SCANCODE_AUDIOPLAY, 0}, {-1, 0}, {SDL_NUM_SCANCODES, 0},
                              {1 << 30, 0}};
    for (const auto& [scancode, key] : anchors) EXPECT_EQ(kp::virtualKeyForScancode(scancode), key) << scancode;
}

TEST(VirtualKeys, NoTwoKeysOfAUsKeyboardShareACode) {
    // Keypad Enter is the one key that shares Enter's code on purpose, and the
    // ISO key beside Enter stands in the place of backslash.
    std::vector<int> owner(256, -1);
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
        const std::uint8_t key = kp::virtualKeyForScancode(scancode);
        if (key == 0 || scancode == SDL_SCANCODE_KP_ENTER || scancode == SDL_SCANCODE_NONUSHASH) continue;
        EXPECT_EQ(owner[key], -1) << "scancodes " << owner[key] << " and " << scancode << " both give " << int{key};
        owner[key] = scancode;
        // The either-side modifier codes are never a key of their own.
        EXPECT_TRUE(key != kp::kVkShift && key != kp::kVkControl && key != kp::kVkMenu) << scancode;
    }
}

TEST(VirtualKeys, KeyboardStateMarksDownKeysAndEitherSideModifiers) {
    std::vector<std::uint8_t> sdl(SDL_NUM_SCANCODES, 0);
    std::uint8_t state[256];
    auto build = [&](std::vector<int> down, int count = SDL_NUM_SCANCODES, bool numLock = true) {
        sdl.assign(sdl.size(), 0);
        for (int scancode : down) sdl[std::size_t(scancode)] = 1;
        state[kp::kVkQ] = 0x80;  // stale: every call rewrites all 256 bytes
        kp::buildKeyboardState(sdl.data(), count, state, numLock);
        std::vector<int> keys;
        for (int key = 0; key < 256; ++key) {
            EXPECT_TRUE(state[key] == 0 || state[key] == 0x80) << key;
            if (state[key] != 0) keys.push_back(key);
        }
        return keys;
    };
    // MUTE has no code and changes nothing.
    EXPECT_EQ(build({SDL_SCANCODE_W, SDL_SCANCODE_GRAVE, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_RSHIFT,
                     SDL_SCANCODE_LALT, SDL_SCANCODE_MUTE}),
              (std::vector<int>{kp::kVkReturn, kp::kVkShift, kp::kVkMenu, 'W', kp::kVkRShift, kp::kVkLMenu, kp::kVkOem3}));
    EXPECT_EQ(build({SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RCTRL}), (std::vector<int>{0x10, 0x11, 0xA0, 0xA3}));
    EXPECT_EQ(build({}), std::vector<int>{});
    // Only `count` states are read; a negative count is no key down.
    EXPECT_EQ(build({SDL_SCANCODE_A, SDL_SCANCODE_RSHIFT}, SDL_SCANCODE_A + 1), std::vector<int>{kp::kVkA});
    EXPECT_EQ(build({SDL_SCANCODE_A}, -5), std::vector<int>{});
    // The keypad decimal key is Delete with Num Lock off.
    EXPECT_EQ(build({SDL_SCANCODE_KP_PERIOD}), std::vector<int>{kp::kVkDecimal});
    EXPECT_EQ(build({SDL_SCANCODE_KP_PERIOD}, SDL_NUM_SCANCODES, false), std::vector<int>{kp::kVkDelete});
    // A null array is no key down.
    kp::buildKeyboardState(nullptr, SDL_NUM_SCANCODES, state);
    EXPECT_EQ(std::vector<std::uint8_t>(state, state + 256), std::vector<std::uint8_t>(256, 0));
}

TEST(VirtualKeys, TheDesktopKeepsF10AndAltCombinations) {
    struct Case {
        std::uint8_t key;
        bool alt, control, reserved;
    };
    for (const Case& c : {Case{kp::kVkF10, false, false, true}, Case{kp::kVkLMenu, true, false, true},
                          Case{kp::kVkA, true, false, true}, Case{kp::kVkF4, true, false, true},
                          Case{kp::kVkA, true, true, false},  // Ctrl+Alt is AltGr: it types
                          Case{kp::kVkA, false, false, false}, Case{kp::kVkF9, false, true, false},
                          Case{kp::kVkOem3, false, false, false}})
        EXPECT_EQ(kp::reservedByDesktop(c.key, c.alt, c.control), c.reserved)
            << int(c.key) << " alt " << c.alt << " ctrl " << c.control;
}

}  // namespace
