#include "app/frame_shot.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/krovane.h"
#include "gfx/png_writer.h"
#include "platform/clock.h"
#include "platform/path_resolver.h"

namespace krovane::app {

bool saveFrameShot(Krovane& engine) {
    Krovane_Console* console = engine.console();
    krovane::gfx::Device* device = engine.device();
    if (console == nullptr || device == nullptr) return false;

    const krovane::platform::UtcTime t = krovane::platform::Clock::utcNow();
    char stem[64];
    std::snprintf(stem, sizeof stem, "shot_%04d-%02d-%02d_%02d-%02d-%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    std::vector<std::uint32_t> pixels;
    std::uint32_t width = 0, height = 0;
    // In the level's folder; the log names the picture as the level would.
    const std::filesystem::path written =
        krovane::gfx::failed(device->ReadPixels(pixels, width, height))
            ? std::filesystem::path()
            : krovane::gfx::writePngToFreeName(krovane::platform::PathResolver::resolve(stem), pixels, width, height);
    if (written.empty())
        console->Print((std::string("Picture not saved: ") + stem + ".png").c_str(), MessageType::Error);
    else
        console->printUtf8("Picture saved: " + written.filename().string(), MessageType::Comment);
    return !written.empty();
}

}  // namespace krovane::app
