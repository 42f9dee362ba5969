// The window's events as the main loop sees them, from events placed on the
// queue the way the window system would, in an offscreen window; where it
// opens, and the desktop's dpi.
#include <SDL2/SDL.h>  // to place events on the queue as the window system does
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "platform/desktop_dpi.h"
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
        WindowEvent drain;
        while (window->pollEvent(drain)) {
        }
    }
    static void push(SDL_Event e) { ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError(); }
    static SDL_Event button(Uint32 type, Uint8 which, int x, int y) {
        SDL_Event e{};
        e.type = type;
        e.button.button = which;
        e.button.x = x;
        e.button.y = y;
        return e;
    }
    std::unique_ptr<Window> window;
};

TEST_F(WindowEvents, OneEventPerCallMappedForTheLoop) {
    SDL_Event quit{};
    quit.type = SDL_QUIT;  // the close button, SIGINT and SIGTERM all arrive as this
    SDL_Event key{};
    key.type = SDL_KEYDOWN;
    key.key.repeat = 1;  // auto-repeats count as key presses too
    push(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_LEFT, 5, 7));
    push(button(SDL_MOUSEBUTTONUP, SDL_BUTTON_LEFT, -20, 300));  // released outside the window
    push(button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 1, 1));
    push(key);
    push(quit);

    WindowEvent e;
    ASSERT_TRUE(window->pollEvent(e));
    EXPECT_EQ(e.type, WindowEvent::Type::LeftButtonDown);
    EXPECT_EQ(e.x, 5);
    EXPECT_EQ(e.y, 7);
    ASSERT_TRUE(window->pollEvent(e));
    EXPECT_EQ(e.type, WindowEvent::Type::LeftButtonUp);
    EXPECT_EQ(e.x, -20);
    ASSERT_TRUE(window->pollEvent(e));
    EXPECT_EQ(e.type, WindowEvent::Type::Other);  // only the left button matters
    ASSERT_TRUE(window->pollEvent(e));
    EXPECT_EQ(e.type, WindowEvent::Type::KeyDown);
    ASSERT_TRUE(window->pollEvent(e));
    EXPECT_EQ(e.type, WindowEvent::Type::Close);
    EXPECT_FALSE(window->pollEvent(e));
}

TEST_F(WindowEvents, NoCursorImageHidesTheCursorKeepingTheReason) {
    std::string error = "mouse.cur: missing";
    EXPECT_FALSE(window->useCursor(nullptr, error));
    EXPECT_EQ(error, "mouse.cur: missing");
    EXPECT_EQ(SDL_ShowCursor(SDL_QUERY), SDL_DISABLE);
}

TEST_F(WindowEvents, KeysTheDesktopKeepsAreNoKeyPresses) {
    struct Case {
        SDL_Scancode key;
        Uint16 mod;
        WindowEvent::Type type;
    };
    const Case cases[] = {{SDL_SCANCODE_F10, KMOD_NONE, WindowEvent::Type::Other},
                          {SDL_SCANCODE_X, KMOD_LALT, WindowEvent::Type::Other},
                          {SDL_SCANCODE_LALT, KMOD_LALT, WindowEvent::Type::Other},
                          {SDL_SCANCODE_X, KMOD_LALT | KMOD_RCTRL, WindowEvent::Type::KeyDown},
                          {SDL_SCANCODE_X, KMOD_LSHIFT, WindowEvent::Type::KeyDown},
                          {SDL_SCANCODE_F9, KMOD_NONE, WindowEvent::Type::KeyDown}};
    for (const Case& c : cases) {
        SDL_Event key{};
        key.type = SDL_KEYDOWN;
        key.key.keysym.scancode = c.key;
        key.key.keysym.mod = c.mod;
        push(key);
    }
    for (const Case& c : cases) {
        WindowEvent e;
        ASSERT_TRUE(window->pollEvent(e));
        EXPECT_EQ(e.type, c.type) << SDL_GetScancodeName(c.key) << " " << c.mod;
    }
}

TEST_F(WindowEvents, TheWindowOpensAtTheDesktopsTopLeftCorner) {
    int x = -1, y = -1;
    SDL_GetWindowPosition(static_cast<SDL_Window*>(window->nativeHandle()), &x, &y);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(window->verticalDpi(), 96);
}

TEST(DesktopDpi, XftDpiOrTheStandard96) {
    struct Case {
        const char* resources;
        int dpi;
    };
    for (const Case& c : {Case{nullptr, 96}, Case{"", 96}, Case{"Xft.dpi:\t120\n", 120},
                          Case{"Xft.antialias:\t1\nXft.dpi:\t143.6\nXft.hinting:\t1\n", 144},
                          Case{"Xcursor.size: 24\n", 96}, Case{"Xft.dpi: huge\n", 96}, Case{"Xft.dpi: 5\n", 96},
                          Case{"Xft.dpi: 1e9\n", 96}, Case{"Xft.dpi: nan\n", 96}})
        EXPECT_EQ(krovane::platform::dpiFromXResources(c.resources), c.dpi) << (c.resources ? c.resources : "null");
}

}  // namespace
