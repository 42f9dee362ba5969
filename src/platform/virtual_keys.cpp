#include "platform/virtual_keys.h"

#include <SDL_scancode.h>

#include <algorithm>
#include <cstddef>
#include <iterator>

namespace krovane::platform {

namespace {

// One row of a scancode table: the scancode the row stands for, kept so that
// the compiler can check that every row sits at its scancode's index.
struct ScancodeRow {
    int scancode;
    std::uint8_t virtualKey;
};

// The keys of a standard keyboard, indexed by scancode from 0 to F24. Keys
// left at 0 have no virtual key the engine could see.
constexpr ScancodeRow kMainKeys[] = {
    {SDL_SCANCODE_UNKNOWN, 0},                 // 0 no key
    {1, 0},                                    // 1 reserved for keyboard error reports
    {2, 0},                                    // 2 reserved for keyboard error reports
    {3, 0},                                    // 3 reserved for keyboard error reports
    {SDL_SCANCODE_A, kVkA},                    // 4
    {SDL_SCANCODE_B, kVkB},                    // 5
    {SDL_SCANCODE_C, kVkC},                    // 6
    {SDL_SCANCODE_D, kVkD},                    // 7
    {SDL_SCANCODE_E, kVkE},                    // 8
    {SDL_SCANCODE_F, kVkF},                    // 9
    {SDL_SCANCODE_G, kVkG},                    // 10
    {SDL_SCANCODE_H, kVkH},                    // 11
    {SDL_SCANCODE_I, kVkI},                    // 12
    {SDL_SCANCODE_J, kVkJ},                    // 13
    {SDL_SCANCODE_K, kVkK},                    // 14
    {SDL_SCANCODE_L, kVkL},                    // 15
    {SDL_SCANCODE_M, kVkM},                    // 16
    {SDL_SCANCODE_N, kVkN},                    // 17
    {SDL_SCANCODE_O, kVkO},                    // 18
    {SDL_SCANCODE_P, kVkP},                    // 19
    {SDL_SCANCODE_Q, kVkQ},                    // 20
    {SDL_SCANCODE_R, kVkR},                    // 21
    {SDL_SCANCODE_S, kVkS},                    // 22
    {SDL_SCANCODE_T, kVkT},                    // 23
    {SDL_SCANCODE_U, kVkU},                    // 24
    {SDL_SCANCODE_V, kVkV},                    // 25
    {SDL_SCANCODE_W, kVkW},                    // 26
    {SDL_SCANCODE_X, kVkX},                    // 27
    {SDL_SCANCODE_Y, kVkY},                    // 28
    {SDL_SCANCODE_Z, kVkZ},                    // 29
    {SDL_SCANCODE_1, kVk1},                    // 30
    {SDL_SCANCODE_2, kVk2},                    // 31
    {SDL_SCANCODE_3, kVk3},                    // 32
    {SDL_SCANCODE_4, kVk4},                    // 33
    {SDL_SCANCODE_5, kVk5},                    // 34
    {SDL_SCANCODE_6, kVk6},                    // 35
    {SDL_SCANCODE_7, kVk7},                    // 36
    {SDL_SCANCODE_8, kVk8},                    // 37
    {SDL_SCANCODE_9, kVk9},                    // 38
    {SDL_SCANCODE_0, kVk0},                    // 39 0, after 9 in the row
    {SDL_SCANCODE_RETURN, kVkReturn},          // 40 Enter
    {SDL_SCANCODE_ESCAPE, kVkEscape},          // 41 Esc
    {SDL_SCANCODE_BACKSPACE, kVkBack},         // 42 Backspace
    {SDL_SCANCODE_TAB, kVkTab},                // 43 Tab
    {SDL_SCANCODE_SPACE, kVkSpace},            // 44 space bar
    {SDL_SCANCODE_MINUS, kVkOemMinus},         // 45 - _
    {SDL_SCANCODE_EQUALS, kVkOemPlus},         // 46 = +
    {SDL_SCANCODE_LEFTBRACKET, kVkOem4},       // 47 [ {
    {SDL_SCANCODE_RIGHTBRACKET, kVkOem6},      // 48 ] }
    {SDL_SCANCODE_BACKSLASH, kVkOem5},         // 49 backslash |
    {SDL_SCANCODE_NONUSHASH, kVkOem5},         // 50 # ~ beside Enter on ISO keyboards, in the place of backslash
    {SDL_SCANCODE_SEMICOLON, kVkOem1},         // 51 ; :
    {SDL_SCANCODE_APOSTROPHE, kVkOem7},        // 52 ' "
    {SDL_SCANCODE_GRAVE, kVkOem3},             // 53 ` ~ left of 1: the console key
    {SDL_SCANCODE_COMMA, kVkOemComma},         // 54 , <
    {SDL_SCANCODE_PERIOD, kVkOemPeriod},       // 55 . >
    {SDL_SCANCODE_SLASH, kVkOem2},             // 56 / ?
    {SDL_SCANCODE_CAPSLOCK, kVkCapital},       // 57 Caps Lock
    {SDL_SCANCODE_F1, kVkF1},                  // 58
    {SDL_SCANCODE_F2, kVkF2},                  // 59
    {SDL_SCANCODE_F3, kVkF3},                  // 60
    {SDL_SCANCODE_F4, kVkF4},                  // 61
    {SDL_SCANCODE_F5, kVkF5},                  // 62
    {SDL_SCANCODE_F6, kVkF6},                  // 63
    {SDL_SCANCODE_F7, kVkF7},                  // 64
    {SDL_SCANCODE_F8, kVkF8},                  // 65
    {SDL_SCANCODE_F9, kVkF9},                  // 66
    {SDL_SCANCODE_F10, kVkF10},                // 67
    {SDL_SCANCODE_F11, kVkF11},                // 68
    {SDL_SCANCODE_F12, kVkF12},                // 69
    {SDL_SCANCODE_PRINTSCREEN, kVkSnapshot},   // 70 Print Screen
    {SDL_SCANCODE_SCROLLLOCK, kVkScroll},      // 71 Scroll Lock
    {SDL_SCANCODE_PAUSE, kVkPause},            // 72 Pause
    {SDL_SCANCODE_INSERT, kVkInsert},          // 73 Insert
    {SDL_SCANCODE_HOME, kVkHome},              // 74 Home
    {SDL_SCANCODE_PAGEUP, kVkPrior},           // 75 Page Up
    {SDL_SCANCODE_DELETE, kVkDelete},          // 76 Delete
    {SDL_SCANCODE_END, kVkEnd},                // 77 End
    {SDL_SCANCODE_PAGEDOWN, kVkNext},          // 78 Page Down
    {SDL_SCANCODE_RIGHT, kVkRight},            // 79 arrow right
    {SDL_SCANCODE_LEFT, kVkLeft},              // 80 arrow left
    {SDL_SCANCODE_DOWN, kVkDown},              // 81 arrow down
    {SDL_SCANCODE_UP, kVkUp},                  // 82 arrow up
    {SDL_SCANCODE_NUMLOCKCLEAR, kVkNumLock},   // 83 Num Lock
    {SDL_SCANCODE_KP_DIVIDE, kVkDivide},       // 84 keypad /
    {SDL_SCANCODE_KP_MULTIPLY, kVkMultiply},   // 85 keypad *
    {SDL_SCANCODE_KP_MINUS, kVkSubtract},      // 86 keypad -
    {SDL_SCANCODE_KP_PLUS, kVkAdd},            // 87 keypad +
    {SDL_SCANCODE_KP_ENTER, kVkReturn},        // 88 keypad Enter, the same key code as Enter
    {SDL_SCANCODE_KP_1, kVkNumpad1},           // 89
    {SDL_SCANCODE_KP_2, kVkNumpad2},           // 90
    {SDL_SCANCODE_KP_3, kVkNumpad3},           // 91
    {SDL_SCANCODE_KP_4, kVkNumpad4},           // 92
    {SDL_SCANCODE_KP_5, kVkNumpad5},           // 93
    {SDL_SCANCODE_KP_6, kVkNumpad6},           // 94
    {SDL_SCANCODE_KP_7, kVkNumpad7},           // 95
    {SDL_SCANCODE_KP_8, kVkNumpad8},           // 96
    {SDL_SCANCODE_KP_9, kVkNumpad9},           // 97
    {SDL_SCANCODE_KP_0, kVkNumpad0},           // 98 keypad 0, after 9
    {SDL_SCANCODE_KP_PERIOD, kVkDecimal},      // 99 keypad .
    {SDL_SCANCODE_NONUSBACKSLASH, kVkOem102},  // 100 the extra key left of Z on ISO keyboards
    {SDL_SCANCODE_APPLICATION, kVkApps},       // 101 context menu key
    {SDL_SCANCODE_POWER, 0},                   // 102 power key: none
    {SDL_SCANCODE_KP_EQUALS, 0},               // 103 keypad =: none
    {SDL_SCANCODE_F13, kVkF13},                // 104
    {SDL_SCANCODE_F14, kVkF14},                // 105
    {SDL_SCANCODE_F15, kVkF15},                // 106
    {SDL_SCANCODE_F16, kVkF16},                // 107
    {SDL_SCANCODE_F17, kVkF17},                // 108
    {SDL_SCANCODE_F18, kVkF18},                // 109
    {SDL_SCANCODE_F19, kVkF19},                // 110
    {SDL_SCANCODE_F20, kVkF20},                // 111
    {SDL_SCANCODE_F21, kVkF21},                // 112
    {SDL_SCANCODE_F22, kVkF22},                // 113
    {SDL_SCANCODE_F23, kVkF23},                // 114
    {SDL_SCANCODE_F24, kVkF24},                // 115
};
static_assert(std::size(kMainKeys) == SDL_SCANCODE_F24 + 1, "one row for each scancode up to F24");

// The modifier keys, indexed by scancode from left Ctrl.
constexpr ScancodeRow kModifierKeys[] = {
    {SDL_SCANCODE_LCTRL, kVkLControl},  // 224
    {SDL_SCANCODE_LSHIFT, kVkLShift},   // 225
    {SDL_SCANCODE_LALT, kVkLMenu},      // 226
    {SDL_SCANCODE_LGUI, kVkLWin},       // 227 left Windows (Super)
    {SDL_SCANCODE_RCTRL, kVkRControl},  // 228
    {SDL_SCANCODE_RSHIFT, kVkRShift},   // 229
    {SDL_SCANCODE_RALT, kVkRMenu},      // 230 right Alt (AltGr)
    {SDL_SCANCODE_RGUI, kVkRWin},       // 231 right Windows (Super)
};
static_assert(std::size(kModifierKeys) == SDL_SCANCODE_RGUI - SDL_SCANCODE_LCTRL + 1,
              "one row for each modifier scancode");

// True when row i of `table` is the row of scancode first + i.
template <std::size_t N>
constexpr bool rowsInScancodeOrder(const ScancodeRow (&table)[N], int first) {
    for (std::size_t i = 0; i < N; ++i)
        if (table[i].scancode != first + static_cast<int>(i)) return false;
    return true;
}
static_assert(rowsInScancodeOrder(kMainKeys, 0), "a row of the main table is out of place");
static_assert(rowsInScancodeOrder(kModifierKeys, SDL_SCANCODE_LCTRL), "a row of the modifier table is out of place");

}  // namespace

std::uint8_t virtualKeyForScancode(int sdlScancode) {
    if (sdlScancode >= 0 && sdlScancode < static_cast<int>(std::size(kMainKeys)))
        return kMainKeys[sdlScancode].virtualKey;
    if (sdlScancode >= SDL_SCANCODE_LCTRL && sdlScancode <= SDL_SCANCODE_RGUI)
        return kModifierKeys[sdlScancode - SDL_SCANCODE_LCTRL].virtualKey;
    return 0;
}

void buildKeyboardState(const std::uint8_t* sdlKeyState, int count, std::uint8_t out[256], bool numLock) {
    std::fill(out, out + 256, std::uint8_t{0});
    if (sdlKeyState == nullptr) return;
    for (int scancode = 0; scancode < count; ++scancode) {
        if (sdlKeyState[scancode] == 0) continue;
        std::uint8_t key = virtualKeyForScancode(scancode);
        if (key == kVkDecimal && !numLock) key = kVkDelete;
        if (key != 0) out[key] = kKeyDown;
    }
    // The either-side codes follow their two keys.
    out[kVkShift] = out[kVkLShift] | out[kVkRShift];
    out[kVkControl] = out[kVkLControl] | out[kVkRControl];
    out[kVkMenu] = out[kVkLMenu] | out[kVkRMenu];
}

bool reservedByDesktop(std::uint8_t virtualKey, bool altDown, bool controlDown) {
    if (virtualKey == kVkF10 || virtualKey == kVkLMenu || virtualKey == kVkRMenu || virtualKey == kVkMenu) return true;
    return altDown && !controlDown;
}

}  // namespace krovane::platform
