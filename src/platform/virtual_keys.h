// Virtual-key codes: the engine reads the keyboard as 256 bytes indexed by
// the key codes Windows uses, with the high bit (kKeyDown) set while a key is
// held. This file names those codes and builds the 256 bytes from SDL's
// keyboard state.
//
// Keys are mapped by their place on the keyboard as on a US layout, not by
// the character they type, so the key left of 1 is always kVkOem3 (the
// console key) whatever the user's layout. Letters and digits are the codes of
// their upper-case ASCII characters, so 'W' and kVkW are the same key.
#pragma once

#include <cstdint>

namespace krovane::platform {

// The bit set in a key's byte while the key is down.
inline constexpr std::uint8_t kKeyDown = 0x80;

inline constexpr std::uint8_t kVkBack = 0x08;  // Backspace
inline constexpr std::uint8_t kVkTab = 0x09;
inline constexpr std::uint8_t kVkReturn = 0x0D;   // Enter, on the main block and on the keypad
inline constexpr std::uint8_t kVkShift = 0x10;    // either Shift
inline constexpr std::uint8_t kVkControl = 0x11;  // either Ctrl
inline constexpr std::uint8_t kVkMenu = 0x12;     // either Alt
inline constexpr std::uint8_t kVkPause = 0x13;
inline constexpr std::uint8_t kVkCapital = 0x14;  // Caps Lock
inline constexpr std::uint8_t kVkEscape = 0x1B;
inline constexpr std::uint8_t kVkSpace = 0x20;
inline constexpr std::uint8_t kVkPrior = 0x21;  // Page Up
inline constexpr std::uint8_t kVkNext = 0x22;   // Page Down
inline constexpr std::uint8_t kVkEnd = 0x23;
inline constexpr std::uint8_t kVkHome = 0x24;
inline constexpr std::uint8_t kVkLeft = 0x25;
inline constexpr std::uint8_t kVkUp = 0x26;
inline constexpr std::uint8_t kVkRight = 0x27;
inline constexpr std::uint8_t kVkDown = 0x28;
inline constexpr std::uint8_t kVkSnapshot = 0x2C;  // Print Screen
inline constexpr std::uint8_t kVkInsert = 0x2D;
inline constexpr std::uint8_t kVkDelete = 0x2E;

inline constexpr std::uint8_t kVk0 = 0x30;
inline constexpr std::uint8_t kVk1 = 0x31;
inline constexpr std::uint8_t kVk2 = 0x32;
inline constexpr std::uint8_t kVk3 = 0x33;
inline constexpr std::uint8_t kVk4 = 0x34;
inline constexpr std::uint8_t kVk5 = 0x35;
inline constexpr std::uint8_t kVk6 = 0x36;
inline constexpr std::uint8_t kVk7 = 0x37;
inline constexpr std::uint8_t kVk8 = 0x38;
inline constexpr std::uint8_t kVk9 = 0x39;

inline constexpr std::uint8_t kVkA = 0x41;
inline constexpr std::uint8_t kVkB = 0x42;
inline constexpr std::uint8_t kVkC = 0x43;
inline constexpr std::uint8_t kVkD = 0x44;
inline constexpr std::uint8_t kVkE = 0x45;
inline constexpr std::uint8_t kVkF = 0x46;
inline constexpr std::uint8_t kVkG = 0x47;
inline constexpr std::uint8_t kVkH = 0x48;
inline constexpr std::uint8_t kVkI = 0x49;
inline constexpr std::uint8_t kVkJ = 0x4A;
inline constexpr std::uint8_t kVkK = 0x4B;
inline constexpr std::uint8_t kVkL = 0x4C;
inline constexpr std::uint8_t kVkM = 0x4D;
inline constexpr std::uint8_t kVkN = 0x4E;
inline constexpr std::uint8_t kVkO = 0x4F;
inline constexpr std::uint8_t kVkP = 0x50;
inline constexpr std::uint8_t kVkQ = 0x51;
inline constexpr std::uint8_t kVkR = 0x52;
inline constexpr std::uint8_t kVkS = 0x53;
inline constexpr std::uint8_t kVkT = 0x54;
inline constexpr std::uint8_t kVkU = 0x55;
inline constexpr std::uint8_t kVkV = 0x56;
inline constexpr std::uint8_t kVkW = 0x57;
inline constexpr std::uint8_t kVkX = 0x58;
inline constexpr std::uint8_t kVkY = 0x59;
inline constexpr std::uint8_t kVkZ = 0x5A;

inline constexpr std::uint8_t kVkLWin = 0x5B;  // the left Windows (Super) key
inline constexpr std::uint8_t kVkRWin = 0x5C;
inline constexpr std::uint8_t kVkApps = 0x5D;  // the context menu key

inline constexpr std::uint8_t kVkNumpad0 = 0x60;
inline constexpr std::uint8_t kVkNumpad1 = 0x61;
inline constexpr std::uint8_t kVkNumpad2 = 0x62;
inline constexpr std::uint8_t kVkNumpad3 = 0x63;
inline constexpr std::uint8_t kVkNumpad4 = 0x64;
inline constexpr std::uint8_t kVkNumpad5 = 0x65;
inline constexpr std::uint8_t kVkNumpad6 = 0x66;
inline constexpr std::uint8_t kVkNumpad7 = 0x67;
inline constexpr std::uint8_t kVkNumpad8 = 0x68;
inline constexpr std::uint8_t kVkNumpad9 = 0x69;
inline constexpr std::uint8_t kVkMultiply = 0x6A;  // keypad *
inline constexpr std::uint8_t kVkAdd = 0x6B;       // keypad +
inline constexpr std::uint8_t kVkSubtract = 0x6D;  // keypad -
inline constexpr std::uint8_t kVkDecimal = 0x6E;   // keypad .
inline constexpr std::uint8_t kVkDivide = 0x6F;    // keypad /

inline constexpr std::uint8_t kVkF1 = 0x70;
inline constexpr std::uint8_t kVkF2 = 0x71;
inline constexpr std::uint8_t kVkF3 = 0x72;
inline constexpr std::uint8_t kVkF4 = 0x73;
inline constexpr std::uint8_t kVkF5 = 0x74;
inline constexpr std::uint8_t kVkF6 = 0x75;
inline constexpr std::uint8_t kVkF7 = 0x76;
inline constexpr std::uint8_t kVkF8 = 0x77;
inline constexpr std::uint8_t kVkF9 = 0x78;
inline constexpr std::uint8_t kVkF10 = 0x79;
inline constexpr std::uint8_t kVkF11 = 0x7A;
inline constexpr std::uint8_t kVkF12 = 0x7B;
inline constexpr std::uint8_t kVkF13 = 0x7C;
inline constexpr std::uint8_t kVkF14 = 0x7D;
inline constexpr std::uint8_t kVkF15 = 0x7E;
inline constexpr std::uint8_t kVkF16 = 0x7F;
inline constexpr std::uint8_t kVkF17 = 0x80;
inline constexpr std::uint8_t kVkF18 = 0x81;
inline constexpr std::uint8_t kVkF19 = 0x82;
inline constexpr std::uint8_t kVkF20 = 0x83;
inline constexpr std::uint8_t kVkF21 = 0x84;
inline constexpr std::uint8_t kVkF22 = 0x85;
inline constexpr std::uint8_t kVkF23 = 0x86;
inline constexpr std::uint8_t kVkF24 = 0x87;

inline constexpr std::uint8_t kVkNumLock = 0x90;
inline constexpr std::uint8_t kVkScroll = 0x91;  // Scroll Lock

// The left and right modifier keys, beside the either-side codes above.
inline constexpr std::uint8_t kVkLShift = 0xA0;
inline constexpr std::uint8_t kVkRShift = 0xA1;
inline constexpr std::uint8_t kVkLControl = 0xA2;
inline constexpr std::uint8_t kVkRControl = 0xA3;
inline constexpr std::uint8_t kVkLMenu = 0xA4;  // left Alt
inline constexpr std::uint8_t kVkRMenu = 0xA5;  // right Alt (AltGr)

// Punctuation keys, named by what they type on a US layout.
inline constexpr std::uint8_t kVkOem1 = 0xBA;       // ; :
inline constexpr std::uint8_t kVkOemPlus = 0xBB;    // = +
inline constexpr std::uint8_t kVkOemComma = 0xBC;   // , <
inline constexpr std::uint8_t kVkOemMinus = 0xBD;   // - _
inline constexpr std::uint8_t kVkOemPeriod = 0xBE;  // . >
inline constexpr std::uint8_t kVkOem2 = 0xBF;       // / ?
inline constexpr std::uint8_t kVkOem3 = 0xC0;       // ` ~ left of 1: the console key
inline constexpr std::uint8_t kVkOem4 = 0xDB;       // [ {
inline constexpr std::uint8_t kVkOem5 = 0xDC;       // backslash |
inline constexpr std::uint8_t kVkOem6 = 0xDD;       // ] }
inline constexpr std::uint8_t kVkOem7 = 0xDE;       // ' "
inline constexpr std::uint8_t kVkOem102 = 0xE2;     // the extra key left of Z on ISO keyboards

// The virtual key at the place of an SDL scancode (a USB keyboard usage
// code), or 0 for a key without one and for numbers that are no scancode.
std::uint8_t virtualKeyForScancode(int sdlScancode);

// Fills the 256 key bytes from SDL's array of `count` key states indexed by
// scancode (as SDL_GetKeyboardState returns it): kKeyDown for each key that is
// down, and also on kVkShift, kVkControl and kVkMenu while the key of either
// side is down. Every other byte is 0. A null array reads as no key down.
// The keypad's decimal key is kVkDecimal only while Num Lock is on; with it
// off the key is the keypad's Delete (kVkDelete).
void buildKeyboardState(const std::uint8_t* sdlKeyState, int count, std::uint8_t out[256], bool numLock = true);

// True for a key press the desktop keeps for itself: F10 (the menu key), Alt
// alone, and any key pressed while Alt is held without Ctrl (Ctrl+Alt is
// AltGr, which types). Such presses do not count as key presses of the program.
bool reservedByDesktop(std::uint8_t virtualKey, bool altDown, bool controlDown);

}  // namespace krovane::platform
