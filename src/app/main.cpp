// krovane: the viewer. Reads "ini.txt" from the working directory, opens the
// window, creates the device and the engine, and runs the main loop until the
// window is closed (or the program gets SIGINT or SIGTERM), then saves
// "LOG.dr" and exits. It takes no arguments.
#include <cstdio>
#include <string>

#include "app/frame_rate_counter.h"
#include "app/krovane.h"
#include "app/screen_size.h"
#include "gfx/device.h"
#include "platform/frame_timer.h"
#include "platform/window.h"

namespace {

constexpr const char* kTitle = "|Korvane|0.0.5|June 12|";
constexpr std::uint32_t kKeyDownShift = 100000;  // makes the console's next pacing check pass at once

int fail(const char* what, const std::string& why) {
    std::fprintf(stderr, "krovane: %s: %s\n", what, why.c_str());
    return 1;
}

}  // namespace

int main() {
    using krovane::platform::Window;
    using krovane::platform::WindowEvent;

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

    FrameRateCounter frameRate;
    frameRate.Reset();
    krovane::platform::FrameTimer frameTimer;
    window->show();
    if (std::string why; !window->loadCursor("mouse.cur", why))
        std::fprintf(stderr, "krovane: no mouse cursor: %s\n", why.c_str());

    bool leftButtonDown = false;
    bool running = true;
    while (running) {
        WindowEvent event;
        if (window->pollEvent(event)) {
            // One event per pass, and nothing else in that pass.
            switch (event.type) {
                case WindowEvent::Type::Close:
                    engine.Shutdown();
                    running = false;
                    break;
                case WindowEvent::Type::LeftButtonDown:
                    leftButtonDown = true;
                    break;
                case WindowEvent::Type::LeftButtonUp:
                    leftButtonDown = false;
                    break;
                case WindowEvent::Type::KeyDown:
                    if (Krovane_Console* console = engine.console()) console->toggleTimer.mark += kKeyDownShift;
                    break;
                default:
                    break;
            }
            continue;
        }
        frameTimer.Reset();
        frameRate.countFrame();
        if (krovane::gfx::Device* device = engine.device()) {
            device->Clear(0, nullptr, krovane::gfx::kClearTarget | krovane::gfx::kClearZBuffer, engine.backColor, 1.0f,
                          0);
            if (!krovane::gfx::failed(device->BeginScene())) device->EndScene();
            device->Present();
        }
        frameRate.update();
    }
    (void)leftButtonDown;  // read by the camera's mouse look once the scene exists
    engine.Shutdown();
    return 0;
}
