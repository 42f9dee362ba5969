#include "app/main_loop.h"

#include "gfx/device.h"

using krovane::platform::WindowEvent;

void MainLoop::run(krovane::platform::Window& window) {
    while (running_) {
        WindowEvent event;
        if (window.pollEvent(event))
            handleEvent(event);
        else
            idlePass();
    }
}

void MainLoop::handleEvent(const WindowEvent& event) {
    switch (event.type) {
        case WindowEvent::Type::Close:
            engine_.Shutdown();
            running_ = false;
            break;
        case WindowEvent::Type::LeftButtonDown:
            leftButtonDown_ = true;
            break;
        case WindowEvent::Type::LeftButtonUp:
            leftButtonDown_ = false;
            break;
        case WindowEvent::Type::KeyDown:
            if (Krovane_Console* console = engine_.console()) console->toggleTimer.mark += kKeyDownShift;
            break;
        default:
            break;
    }
}

void MainLoop::idlePass() {
    frameRate_.countFrame();
    // Until the scene exists a frame is the clear in the configured colour.
    if (krovane::gfx::Device* device = engine_.device()) {
        device->Clear(0, nullptr, krovane::gfx::kClearTarget | krovane::gfx::kClearZBuffer, engine_.backColor, 1.0f, 0);
        if (!krovane::gfx::failed(device->BeginScene())) device->EndScene();
        device->Present();
    }
    frameRate_.update();
}
