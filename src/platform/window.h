// Window: the program's one window and its event queue, and the desktop
// services that go with it (cursor position, clipboard, message boxes).
//
// Events are taken one at a time, as the main loop handles one per pass.
// Each key press taken is also kept, with the keyboard as it was at that
// press (see KeyPressQueue), until the frame's input step clears them: the
// keyboard state alone would miss a key pressed and released between frames.
// Closing the window, SIGINT and SIGTERM all arrive as a Close event. While
// a button is held the mouse is captured, so its release is seen even
// outside the window. A window made offscreen (for tests and tools) has no
// display, takes no input and shows nothing, but draws like any other.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "platform/cursor_image.h"
#include "platform/input_source.h"

namespace krovane::platform {

struct WindowEvent {
    enum class Type { None, Close, LeftButtonDown, LeftButtonUp, KeyDown, Other, Wheel, Resized, Drop };
    Type type = Type::None;
    int x = 0, y = 0;      // cursor in client coordinates, for the button events; the drawable size, for Resized
    std::uint8_t key = 0;  // the virtual key pressed (see virtual_keys.h), for KeyDown
    bool repeat = false;   // a KeyDown of the keyboard's auto-repeat
    int wheel = 0;         // steps turned away from the user (negative: towards), for Wheel
    std::string path{};    // the file or folder dropped on the window (UTF-8), for Drop
};

class Window final : public InputSource {
public:
    // Opens a hidden window with `width` x `height` pixels of drawable area,
    // placed at the top left corner of the desktop.
    // `offscreen` makes one without a display. Returns null, with the reason
    // in `error`, when no display can be reached or the window cannot be made.
    static std::unique_ptr<Window> create(const char* title, int width, int height, bool offscreen, std::string& error);
    ~Window() override;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;

    // Shows message boxes on the desktop from now on, where a display can be
    // reached (they still go to stderr without one).
    static void useDesktopMessageBoxes();

    void show();
    // Takes the next event, if any. Key presses the desktop keeps for itself
    // (see reservedByDesktop) come as Other, not KeyDown.
    bool pollEvent(WindowEvent& event);

    // The keyboard as 256 bytes indexed by virtual-key code (see
    // virtual_keys.h), 0x80 set for each key held down.
    void keyboardState(std::uint8_t state[256]) const override;
    std::span<const KeyPress> keyPresses() const override { return keyPresses_.presses(); }
    void clearKeyPresses() override { keyPresses_.clear(); }
    // The cursor in client coordinates.
    void cursorPosition(int& x, int& y) const override;
    // The buttons held as of the last event taken.
    unsigned mouseButtons() const override { return buttons_; }
    // The title (UTF-8), and whether the user may resize the window; the size drawn on now.
    void setTitle(const std::string& title);
    void setResizable(bool resizable);
    void drawableSize(int& width, int& height) const;
    // The clipboard's text in code page 1251; characters the code page cannot
    // hold become '?'. Empty when there is none.
    std::string clipboardText() const override;
    // Shows `image` as the cursor over the window. Given none (its file was
    // missing or could not be read, see formats/cursor_file.h) the window shows
    // no cursor at all and `error` is left as the reader set it.
    bool useCursor(const CursorImage* image, std::string& error);
    // The desktop's logical dots per inch, for point sizes: 96 unless the
    // desktop sets its own scale (see desktop_dpi.h), and 96 offscreen.
    int verticalDpi() const;
    // The windowing library's handle, for the device backend.
    void* nativeHandle() const { return handle_; }

private:
    Window() = default;
    void* handle_ = nullptr;
    bool offscreen_ = false;
    unsigned buttons_ = 0;    // held, as mouseButtons gives them; the mouse is captured while any is
    void* cursor_ = nullptr;  // the colour cursor made from a file, if any
    // Which keys are down, by scancode, as of the last event taken: the
    // keyboard at each press, where the desktop's own state runs ahead.
    std::array<std::uint8_t, 512> scancodesDown_{};
    KeyPressQueue keyPresses_;
};

}  // namespace krovane::platform
