// The window's events as the main loop sees them, placed on the queue as the window system would, in an
// offscreen window; where it opens, its cursor, and the desktop's dpi.
#include <SDL2/SDL.h>  // to place events on the queue as the window system does
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/desktop_dpi.h"
#include "platform/virtual_keys.h"
#include "platform/window.h"

namespace {

using krovane::platform::Window;
using krovane::platform::WindowEvent;

class WindowEvents : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        window = Window::create("events", 64, 48, true, error);
        if (!window) GTEST_SKIP() << error;
        events();
    }
    static void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
    static SDL_Event button(Uint32 type, Uint8 which, int x, int y) {
        SDL_Event e{};
        e.button = SDL_MouseButtonEvent{type, 0, 0, 0, which, 0, 0, 0, x, y};
        return e;
    }
    // Every queued event: C close, K key press, O other, D and U the left button down and up at x,y, W a wheel's
    // steps, R a resize to x,y.
    std::string events() {
        std::string seen;
        for (WindowEvent e; window->pollEvent(e); seen += " ") {
            seen += "-CDUKOWR"[int(e.type)];
            if (e.type == WindowEvent::Type::LeftButtonDown || e.type == WindowEvent::Type::LeftButtonUp ||
                e.type == WindowEvent::Type::Resized)
                seen += std::to_string(e.x) + "," + std::to_string(e.y);
            if (e.type == WindowEvent::Type::Wheel) seen += std::to_string(e.wheel);
        }
        return seen;
    }
    std::unique_ptr<Window> window;
};

// The close button, SIGINT and SIGTERM all arrive as SDL_QUIT; auto-repeats count as key presses; only the left
// button comes as an event of its own, released outside the window too; F10 and Alt+X are the desktop's, Ctrl+Alt
// is AltGr and types.
TEST_F(WindowEvents, OneEventPerCallMappedForTheLoop) {
    push(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 7));
    push(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, -20, 300));
    push(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1, 1));
    const std::pair<SDL_Scancode, int> keys[] = {{SDL_SCANCODE_X, KMOD_NONE},
                                                 {SDL_SCANCODE_F10, KMOD_NONE},
                                                 {SDL_SCANCODE_X, KMOD_LALT},
                                                 {SDL_SCANCODE_X, KMOD_ALT | KMOD_CTRL}};
    for (const auto& [scancode, mod] : keys) {
        SDL_Event key{};
        key.type = SDL_KEYDOWN;
        key.key.repeat = 1;
        key.key.keysym.scancode = scancode;
        key.key.keysym.mod = Uint16(mod);
        push(key);
    }
    SDL_Event quit{};
    quit.type = SDL_QUIT;
    push(quit);
    EXPECT_EQ(events(), "D5,7 U-20,300 O K O O K C ");

    // The right and middle buttons are held as the loop's model view reads them; the wheel's steps, flipped or
    // not; a resize, with the size drawn on.
    using namespace krovane::platform;
    EXPECT_EQ(window->mouseButtons(), kRightButton);
    push(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 1));
    for (const auto& [steps, direction] : {std::pair{1, SDL_MOUSEWHEEL_NORMAL}, {2, SDL_MOUSEWHEEL_FLIPPED}}) {
        SDL_Event wheel{};
        wheel.type = SDL_MOUSEWHEEL;
        wheel.wheel.y = steps;
        wheel.wheel.direction = Uint32(direction);
        push(wheel);
    }
    EXPECT_EQ(events(), "O W1 W-2 ");
    EXPECT_EQ(window->mouseButtons(), kRightButton | kMiddleButton);
    push(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, 1, 1));
    SDL_Window* handle = static_cast<SDL_Window*>(window->nativeHandle());
    SDL_SetWindowSize(handle, 80, 60);
    EXPECT_EQ(events(), "O R80,60 ");
    EXPECT_EQ(window->mouseButtons(), kMiddleButton);
}

// Each press is kept with the keyboard as it was at that press: left and right Shift apart, its own key down
// though released before the frame, a key released before it up.
TEST_F(WindowEvents, EachKeyPressIsKeptWithTheKeyboardAtThatPress) {
    const std::pair<Uint32, SDL_Scancode> keys[] = {
        {SDL_KEYDOWN, SDL_SCANCODE_LSHIFT}, {SDL_KEYDOWN, SDL_SCANCODE_A},      {SDL_KEYUP, SDL_SCANCODE_A},
        {SDL_KEYUP, SDL_SCANCODE_LSHIFT},   {SDL_KEYDOWN, SDL_SCANCODE_RSHIFT}, {SDL_KEYDOWN, SDL_SCANCODE_B},
        {SDL_KEYUP, SDL_SCANCODE_B}};
    for (const auto& [type, scancode] : keys) {
        SDL_Event key{};
        key.type = type;
        key.key.keysym.scancode = scancode;
        push(key);
    }
    EXPECT_EQ(events(), "K K O O K K O ");
    std::vector<std::vector<int>> seen;  // each press: its key, then every key down at it
    for (const krovane::platform::KeyPress& press : window->keyPresses()) {
        seen.push_back({press.key});
        for (int k = 0; k < 256; ++k)
            if (press.state[std::size_t(k)] & krovane::platform::kKeyDown) seen.back().push_back(k);
    }
    EXPECT_EQ(seen, (std::vector<std::vector<int>>{
                        {0xA0, 0x10, 0xA0}, {'A', 0x10, 'A', 0xA0}, {0xA1, 0x10, 0xA1}, {'B', 0x10, 'B', 0xA1}}));
    window->clearKeyPresses();
    EXPECT_TRUE(window->keyPresses().empty());
}

// At the desktop's top left corner; no cursor image hides the cursor, keeping the reason.
TEST_F(WindowEvents, TheWindowOpensAtTheTopLeftCornerAndMayHideTheCursor) {
    int x = -1, y = -1;
    SDL_GetWindowPosition(static_cast<SDL_Window*>(window->nativeHandle()), &x, &y);
    EXPECT_TRUE(x == 0 && y == 0) << x << "," << y;
    EXPECT_EQ(window->verticalDpi(), 96);
    std::string error = "mouse.cur: missing";
    EXPECT_TRUE(!window->useCursor(nullptr, error) && error == "mouse.cur: missing");
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

TEST(DesktopDpi, XftDpiOrTheStandard96) {
    EXPECT_EQ(krovane::platform::dpiFromXResources(nullptr), 96);
    EXPECT_EQ(krovane::platform::dpiFromXResources("Xft.dpi:\t120\n"), 120);
    EXPECT_EQ(krovane::platform::dpiFromXResources("Xft.antialias:\t1\nXft.dpi:\t143.6\nXft.hinting:\t1\n"), 144);
    for (const char* standard :
         {"", "Xcursor.size: 24\n", "Xft.dpi: huge\n", "Xft.dpi: 5\n", "Xft.dpi: 1e9\n", "Xft.dpi: nan\n"})
        EXPECT_EQ(krovane::platform::dpiFromXResources(standard), 96) << standard;
}

}  // namespace
