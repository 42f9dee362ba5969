#include "platform/window.h"

#include <SDL2/SDL.h>  // the window, its events and its GL surface

#include <cstdio>
#include <cstdlib>

#include "platform/code_page_1251.h"
#include "platform/desktop_dpi.h"
#include "platform/message_box.h"
#include "platform/virtual_keys.h"

#include <SDL2/SDL_syswm.h>  // the X11 window, for the title desktops show; last, for the names X11 defines

namespace krovane::platform {

namespace {

bool displayReachable() { return std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr; }

// SDL's video subsystem, started once for the first window and kept.
bool startVideo(bool offscreen, std::string& error) {
    static bool started = false;
    if (started) return true;
    const bool chosenByUser = std::getenv("SDL_VIDEODRIVER") != nullptr;
    if (offscreen) {
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "offscreen");
    } else if (!chosenByUser) {
        if (!displayReachable()) {
            error = "no display is available (neither DISPLAY nor WAYLAND_DISPLAY is set)";
            return false;
        }
        // Only drivers that show a window: when the display cannot be reached SDL
        // would otherwise fall back to one that draws where nobody can see it.
        SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,wayland");
    }
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = std::string("the display cannot be reached: ") + SDL_GetError();
        return false;
    }
    const std::string driver = SDL_GetCurrentVideoDriver() ? SDL_GetCurrentVideoDriver() : "";
    if (!offscreen && !chosenByUser && driver != "x11" && driver != "wayland") {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        error = "the display cannot be reached (the window system offered only \"" + driver + "\")";
        return false;
    }
    started = true;
    return true;
}

}  // namespace

void Window::useDesktopMessageBoxes() {
    MessageBox::setPresenter([](std::string_view caption, std::string_view text) {
        const std::string c = cp1251ToUtf8(caption), t = cp1251ToUtf8(text);
        std::fprintf(stderr, "%s: %s\n", c.c_str(), t.c_str());  // also in the terminal, for the record
        if (displayReachable()) SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, c.c_str(), t.c_str(), nullptr);
    });
}

std::unique_ptr<Window> Window::create(const char* title, int width, int height, bool offscreen, std::string& error) {
    if (!startVideo(offscreen, error)) return nullptr;
    if (width < 1 || height < 1 || width > 16384 || height > 16384) {
        error = "the window size " + std::to_string(width) + " x " + std::to_string(height) +
                " is outside 1 to 16384 pixels";
        return nullptr;
    }
    // The GL context the device makes on this window: 3.3 core, depth from the device's own buffers.
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 0);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_Window* handle = SDL_CreateWindow(title, 0, 0, width, height,  // the desktop's top left corner
                                          SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
    if (handle == nullptr) {
        error = std::string("the window could not be made: ") + SDL_GetError();
        return nullptr;
    }
    std::unique_ptr<Window> window(new Window);
    window->handle_ = handle;
    window->offscreen_ = offscreen;
    return window;
}

Window::~Window() {
    if (buttons_ != 0) SDL_CaptureMouse(SDL_FALSE);
    if (cursor_) SDL_FreeCursor(static_cast<SDL_Cursor*>(cursor_));
    SDL_DestroyWindow(static_cast<SDL_Window*>(handle_));
}

void Window::show() {
    if (!offscreen_) SDL_ShowWindow(static_cast<SDL_Window*>(handle_));
}

bool Window::pollEvent(WindowEvent& event) {
    static_assert(std::tuple_size_v<decltype(scancodesDown_)> >= SDL_NUM_SCANCODES, "a byte for every scancode");
    SDL_Event e;
    if (SDL_PollEvent(&e) == 0) return false;
    event = WindowEvent{WindowEvent::Type::Other};
    switch (e.type) {
        case SDL_QUIT:  // the close button, SIGINT and SIGTERM
            event.type = WindowEvent::Type::Close;
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const unsigned bit = e.button.button == SDL_BUTTON_LEFT     ? kLeftButton
                                 : e.button.button == SDL_BUTTON_MIDDLE ? kMiddleButton
                                 : e.button.button == SDL_BUTTON_RIGHT  ? kRightButton
                                                                        : 0;
            const bool wasHeld = buttons_ != 0;
            buttons_ = e.type == SDL_MOUSEBUTTONDOWN ? buttons_ | bit : buttons_ & ~bit;
            // Held: keep receiving the mouse outside the window, so the release is never lost.
            if (wasHeld != (buttons_ != 0)) SDL_CaptureMouse(buttons_ != 0 ? SDL_TRUE : SDL_FALSE);
            if (bit != kLeftButton) break;
            event.type =
                e.type == SDL_MOUSEBUTTONDOWN ? WindowEvent::Type::LeftButtonDown : WindowEvent::Type::LeftButtonUp;
            event.x = e.button.x;
            event.y = e.button.y;
            break;
        }
        case SDL_MOUSEWHEEL:
            event.type = WindowEvent::Type::Wheel;
            event.wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
            break;
        case SDL_WINDOWEVENT:
            if (e.window.event != SDL_WINDOWEVENT_SIZE_CHANGED) break;
            event.type = WindowEvent::Type::Resized;
            drawableSize(event.x, event.y);
            break;
        case SDL_KEYDOWN:  // repeats included; not the keys the desktop keeps for itself
        case SDL_KEYUP: {
            const int scancode = e.key.keysym.scancode;
            const bool pressed = e.type == SDL_KEYDOWN;
            if (scancode >= 0 && static_cast<std::size_t>(scancode) < scancodesDown_.size())
                scancodesDown_[static_cast<std::size_t>(scancode)] = pressed ? 1 : 0;
            const Uint16 mod = e.key.keysym.mod;
            const std::uint8_t key = virtualKeyForScancode(scancode);
            if (pressed && !reservedByDesktop(key, (mod & KMOD_ALT) != 0, (mod & KMOD_CTRL) != 0)) {
                event.type = WindowEvent::Type::KeyDown;
                event.key = key;
                event.repeat = e.key.repeat != 0;
                const bool numLock = (mod & KMOD_NUM) != 0;
                std::uint8_t state[256];
                buildKeyboardState(scancodesDown_.data(), static_cast<int>(scancodesDown_.size()), state, numLock);
                keyPresses_.push(key == kVkDecimal && !numLock ? kVkDelete : key, state);
            }
            break;
        }
        case SDL_DROPFILE:  // a file or folder dropped on the window
            if (e.drop.file != nullptr) {
                event.type = WindowEvent::Type::Drop;
                event.path = e.drop.file;
                SDL_free(e.drop.file);
            }
            break;
        default:
            break;
    }
    return true;
}

void Window::keyboardState(std::uint8_t state[256]) const {
    int count = 0;
    const Uint8* keys = SDL_GetKeyboardState(&count);
    buildKeyboardState(keys, count, state, (SDL_GetModState() & KMOD_NUM) != 0);
}

void Window::cursorPosition(int& x, int& y) const { SDL_GetMouseState(&x, &y); }

void Window::setTitle(const std::string& title) {
    SDL_Window* window = static_cast<SDL_Window*>(handle_);
    SDL_SetWindowTitle(window, title.c_str());
#if defined(SDL_VIDEO_DRIVER_X11)
    // SDL leaves the title desktops show (_NET_WM_NAME) as it was when Xlib cannot convert the text in the
    // program's locale (anything beyond ASCII, as no locale is set): it is set here as the UTF-8 it is.
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display* display = info.info.x11.display;
    XChangeProperty(display, info.info.x11.window, XInternAtom(display, "_NET_WM_NAME", False),
                    XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    XFlush(display);
#endif
}

void Window::setResizable(bool resizable) {
    SDL_SetWindowResizable(static_cast<SDL_Window*>(handle_), resizable ? SDL_TRUE : SDL_FALSE);
}

void Window::drawableSize(int& width, int& height) const {
    SDL_GL_GetDrawableSize(static_cast<SDL_Window*>(handle_), &width, &height);
}

std::string Window::clipboardText() const {
    if (!SDL_HasClipboardText()) return {};
    char* text = SDL_GetClipboardText();
    std::string result = utf8ToCp1251Lossy(text ? text : "");
    SDL_free(text);
    return result;
}

bool Window::useCursor(const CursorImage* image, std::string& error) {
    SDL_Cursor* cursor = nullptr;
    if (image) {
        SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(
            const_cast<std::uint32_t*>(image->rgba.data()), static_cast<int>(image->width),
            static_cast<int>(image->height), 32, static_cast<int>(image->width * 4), SDL_PIXELFORMAT_ARGB8888);
        if (surface) {
            cursor = SDL_CreateColorCursor(surface, static_cast<int>(image->hotX), static_cast<int>(image->hotY));
            SDL_FreeSurface(surface);
        }
        if (!cursor) error = std::string("the cursor could not be made: ") + SDL_GetError();
    }
    if (cursor_) SDL_FreeCursor(static_cast<SDL_Cursor*>(cursor_));
    cursor_ = cursor;
    if (cursor) {
        SDL_SetCursor(cursor);
        SDL_ShowCursor(SDL_ENABLE);
        return true;
    }
    SDL_ShowCursor(SDL_DISABLE);  // as with a missing file: no cursor over the window
    return false;
}

int Window::verticalDpi() const { return offscreen_ ? kStandardDpi : desktopDpi(handle_); }

}  // namespace krovane::platform
