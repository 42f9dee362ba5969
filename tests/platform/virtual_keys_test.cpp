// Virtual keys by keyboard position, and the 256 key bytes built from SDL's
// keyboard state, with the either-side modifier codes.
#include <gtest/gtest.h>

#include <SDL2/SDL_scancode.h>  // by its SDL2/ path: the tests get no SDL include folder

#include <cstdint>
#include <vector>

#include "platform/virtual_keys.h"

namespace {

namespace kp = krovane::platform;

TEST(VirtualKeys, ScancodesMapByPositionOnAUsLayout) {
    // The console key left of 1, and the other punctuation keys.
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_GRAVE), 0xC0);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_MINUS), 0xBD);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_EQUALS), 0xBB);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_LEFTBRACKET), 0xDB);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_BACKSLASH), 0xDC);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_SEMICOLON), 0xBA);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_APOSTROPHE), 0xDE);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_SLASH), 0xBF);
    // Letters and digits are their upper-case ASCII codes; 0 follows 9 in SDL's order.
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_A), 'A');
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_W), 'W');
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_Z), 'Z');
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_1), '1');
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_9), '9');
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_0), '0');
    // Arrows and the block above them.
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_LEFT), 0x25);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_UP), 0x26);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_RIGHT), 0x27);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_DOWN), 0x28);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_PAGEUP), 0x21);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_PAGEDOWN), 0x22);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_DELETE), 0x2E);
    // The keypad: Enter shares the code of the main Enter.
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_KP_PLUS), 0x6B);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_KP_PERIOD), 0x6E);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_KP_0), 0x60);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_KP_9), 0x69);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_KP_ENTER), 0x0D);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_RETURN), 0x0D);
    // Function keys, and the modifiers of each side.
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_F1), 0x70);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_F12), 0x7B);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_LSHIFT), 0xA0);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_RSHIFT), 0xA1);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_LCTRL), 0xA2);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_RALT), 0xA5);
    // Keys without a code, and numbers that are no scancode.
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_UNKNOWN), 0);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_MUTE), 0);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_AUDIOPLAY), 0);
    EXPECT_EQ(kp::virtualKeyForScancode(-1), 0);
    EXPECT_EQ(kp::virtualKeyForScancode(SDL_NUM_SCANCODES), 0);
    EXPECT_EQ(kp::virtualKeyForScancode(1 << 30), 0);
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
        EXPECT_NE(key, kp::kVkShift);
        EXPECT_NE(key, kp::kVkControl);
        EXPECT_NE(key, kp::kVkMenu);
    }
}

TEST(VirtualKeys, KeyboardStateMarksDownKeysAndEitherSideModifiers) {
    std::vector<std::uint8_t> sdl(SDL_NUM_SCANCODES, 0);
    std::uint8_t state[256];

    sdl[SDL_SCANCODE_W] = 1;
    sdl[SDL_SCANCODE_GRAVE] = 1;
    sdl[SDL_SCANCODE_KP_ENTER] = 1;
    sdl[SDL_SCANCODE_RSHIFT] = 1;
    sdl[SDL_SCANCODE_LALT] = 1;
    sdl[SDL_SCANCODE_MUTE] = 1;  // no code: changes nothing
    kp::buildKeyboardState(sdl.data(), static_cast<int>(sdl.size()), state);
    std::vector<int> down;
    for (int key = 0; key < 256; ++key) {
        EXPECT_TRUE(state[key] == 0 || state[key] == 0x80) << key;
        if (state[key] != 0) down.push_back(key);
    }
    EXPECT_EQ(down, (std::vector<int>{kp::kVkReturn, kp::kVkShift, kp::kVkMenu, 'W', kp::kVkRShift, kp::kVkLMenu,
                                      kp::kVkOem3}));

    // Either shift sets the shared code; releasing everything clears every byte.
    sdl.assign(sdl.size(), 0);
    sdl[SDL_SCANCODE_LSHIFT] = 1;
    sdl[SDL_SCANCODE_RCTRL] = 1;
    kp::buildKeyboardState(sdl.data(), static_cast<int>(sdl.size()), state);
    EXPECT_EQ(state[0x10], 0x80);
    EXPECT_EQ(state[0xA0], 0x80);
    EXPECT_EQ(state[0xA1], 0);
    EXPECT_EQ(state[0x11], 0x80);
    EXPECT_EQ(state[0xA3], 0x80);
    EXPECT_EQ(state[0x12], 0);
    sdl.assign(sdl.size(), 0);
    kp::buildKeyboardState(sdl.data(), static_cast<int>(sdl.size()), state);
    EXPECT_EQ(std::vector<std::uint8_t>(state, state + 256), std::vector<std::uint8_t>(256, 0));

    // Only `count` states are read; a null array or a negative count is no key down.
    sdl[SDL_SCANCODE_A] = 1;
    sdl[SDL_SCANCODE_RSHIFT] = 1;
    kp::buildKeyboardState(sdl.data(), SDL_SCANCODE_A + 1, state);
    EXPECT_EQ(state[kp::kVkA], 0x80);
    EXPECT_EQ(state[kp::kVkShift], 0);
    state[kp::kVkQ] = 0x80;
    kp::buildKeyboardState(nullptr, SDL_NUM_SCANCODES, state);
    EXPECT_EQ(std::vector<std::uint8_t>(state, state + 256), std::vector<std::uint8_t>(256, 0));
    state[kp::kVkQ] = 0x80;
    kp::buildKeyboardState(sdl.data(), -5, state);
    EXPECT_EQ(std::vector<std::uint8_t>(state, state + 256), std::vector<std::uint8_t>(256, 0));
}

TEST(VirtualKeys, TheKeypadDecimalKeyIsDecimalOnlyWithNumLockOn) {
    std::vector<std::uint8_t> sdl(SDL_NUM_SCANCODES, 0);
    sdl[SDL_SCANCODE_KP_PERIOD] = 1;
    std::uint8_t state[256];
    for (const bool numLock : {true, false}) {
        kp::buildKeyboardState(sdl.data(), static_cast<int>(sdl.size()), state, numLock);
        EXPECT_EQ(state[kp::kVkDecimal], numLock ? 0x80 : 0) << numLock;
        EXPECT_EQ(state[kp::kVkDelete], numLock ? 0 : 0x80) << numLock;
    }
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
