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
    const ScreenSize screen = ScreenSize::fromConfig(config);

    std::string error;
    std::unique_ptr<Window> window = Window::create(kTitle, screen.width, screen.height, false, error);
    if (!window) return fail("cannot open the window", error);
    engine.ReadRenderSettings(&config);
    if (krovane::gfx::failed(engine.InitDevice(*window, error))) return fail("cannot create the 3D device", error);
    engine.Initialize();

    MainLoop loop(engine);
    window->show();
    if (!window->loadCursor("mouse.cur", error)) std::fprintf(stderr, "krovane: no mouse cursor: %s\n", error.c_str());
    loop.run(*window);
    engine.Shutdown();
    return 0;
}
