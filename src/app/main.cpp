// krovane: the viewer. Reads "ini.txt" from the working directory, opens the
// window, creates the device and the engine, and runs the main loop until the
// window is closed (or the program gets SIGINT or SIGTERM), then saves
// "LOG.dr" and exits. It takes no arguments.
#include <cstdio>
#include <string>

#include "app/krovane.h"
#include "app/main_loop.h"
#include "app/screen_size.h"
#include "platform/window.h"

namespace {

constexpr const char* kTitle = "|Korvane|0.0.5|June 12|";
constexpr int kMaxSide = 16384;  // the largest window side the window layer opens

int fail(const char* what, const std::string& why) {
    std::fprintf(stderr, "krovane: %s: %s\n", what, why.c_str());
    return 1;
}

}  // namespace

int main() {
    using krovane::platform::Window;

    Window::useDesktopMessageBoxes();
    Krovane engine;
    const DynamicRow config = Krovane::LoadIniParameters("ini.txt");
    ScreenSize screen = ScreenSize::fromConfig(config);
    if (screen.width < 1 || screen.height < 1 || screen.width > kMaxSide || screen.height > kMaxSide) {
        // A window of that size cannot be opened; start with the default rather than not at all.
        std::fprintf(stderr, "krovane: SCREEN %d x %d cannot be opened; using 640 x 480\n", screen.width,
                     screen.height);
        screen = ScreenSize{};
    }

    std::string error;
    std::unique_ptr<Window> window = Window::create(kTitle, screen.width, screen.height, false, error);
    if (!window) return fail("cannot open the window", error);
    engine.ReadRenderSettings(&config);
    if (krovane::gfx::failed(engine.InitDevice(*window, error))) return fail("cannot create the 3D device", error);
    engine.Initialize(window->verticalDpi());

    MainLoop loop(engine, window.get());
    window->show();
    if (!window->loadCursor("mouse.cur", error)) std::fprintf(stderr, "krovane: no mouse cursor: %s\n", error.c_str());
    loop.run(*window);
    engine.Shutdown();
    return 0;
}
