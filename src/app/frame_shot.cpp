#include "app/frame_shot.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app/krovane.h"
#include "gfx/png_writer.h"
#include "platform/clock.h"

bool saveFrameShot(Krovane& engine) {
    Krovane_Console* console = engine.console();
    krovane::gfx::Device* device = engine.device();
    if (console == nullptr || device == nullptr) return false;

    const krovane::platform::UtcTime t = krovane::platform::Clock::utcNow();
    char stem[64];
    std::snprintf(stem, sizeof stem, "shot_%04d-%02d-%02d_%02d-%02d-%02d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second);
    std::string name = std::string(stem) + ".png";
    std::error_code ec;
    for (int n = 2; std::filesystem::exists(name, ec) && n < 1000; ++n)
        name = std::string(stem) + "_" + std::to_string(n) + ".png";

    std::vector<std::uint32_t> pixels;
    std::uint32_t width = 0, height = 0;
    const bool saved = !krovane::gfx::failed(device->ReadPixels(pixels, width, height)) &&
                       krovane::gfx::writePng(name, pixels, width, height);
    console->Print(((saved ? "Picture saved: " : "Picture not saved: ") + name).c_str(),
                   saved ? MessageType::Comment : MessageType::Error);
    return saved;
}
