// krovane-shot: renders a level offscreen through the engine and writes the
// last frame as a PNG.
//
//   krovane-shot [--frames N] [--size WxH] [--camera K] [--console] [--out FILE] LEVEL_DIR
//
// It works in LEVEL_DIR as the viewer works in its own folder: it reads
// "ini.txt" there, loads the level and leaves "LOG.dr" there. The image goes
// to FILE (default: shot.png in the folder it was started from). The last
// line of its output ends with the frames per second of the frames drawn.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "app/krovane.h"
#include "platform/window.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#include <stb/stb_image_write.h>  // the PNG of the last frame

namespace {

int usage(const char* why) {
    std::fprintf(stderr,
                 "krovane-shot: %s\n"
                 "usage: krovane-shot [--frames N] [--size WxH] [--camera K] [--console] [--out FILE] LEVEL_DIR\n",
                 why);
    return 2;
}

bool readNumber(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out >= low && out <= high;
}

}  // namespace

int main(int argc, char** argv) {
    long frames = 10, width = 640, height = 480, camera = 0;
    bool console = false;
    std::string out = "shot.png", level;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--frames" && hasValue) {
            if (!readNumber(argv[++i], 1, 100000, frames)) return usage("--frames takes a number from 1 to 100000");
        } else if (arg == "--size" && hasValue) {
            const std::string size = argv[++i];
            const std::size_t x = size.find('x');
            if (x == std::string::npos || !readNumber(size.substr(0, x).c_str(), 1, 8192, width) ||
                !readNumber(size.substr(x + 1).c_str(), 1, 8192, height))
                return usage("--size takes WIDTHxHEIGHT, each from 1 to 8192");
        } else if (arg == "--camera" && hasValue) {
            if (!readNumber(argv[++i], 1, 1000000, camera)) return usage("--camera takes a camera number from 1");
        } else if (arg == "--console") {
            console = true;
        } else if (arg == "--out" && hasValue) {
            out = argv[++i];
        } else if (arg.rfind("--", 0) == 0 || !level.empty()) {
            return usage(("cannot use " + arg).c_str());
        } else {
            level = arg;
        }
    }
    if (level.empty()) return usage("no level folder given");

    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path outPath = fs::absolute(out, ec);
    fs::current_path(level, ec);
    if (ec) {
        std::fprintf(stderr, "krovane-shot: cannot work in %s: %s\n", level.c_str(), ec.message().c_str());
        return 1;
    }

    const auto started = std::chrono::steady_clock::now();
    Krovane engine;
    const DynamicRow config = Krovane::LoadIniParameters("ini.txt");
    std::string error;
    auto window = krovane::platform::Window::create("krovane-shot", static_cast<int>(width), static_cast<int>(height),
                                                    true, error);
    if (!window) {
        std::fprintf(stderr, "krovane-shot: no offscreen window: %s\n", error.c_str());
        return 1;
    }
    engine.ReadRenderSettings(&config);
    if (krovane::gfx::failed(engine.InitDevice(*window, error))) {
        std::fprintf(stderr, "krovane-shot: cannot create the 3D device: %s\n", error.c_str());
        return 1;
    }
    engine.Initialize(window->verticalDpi());
    if (camera > 0 && !engine.cameraManager()->SelectCamera(static_cast<int>(camera)))
        std::fprintf(stderr, "krovane-shot: the level has no camera %ld; using camera %d\n", camera,
                     engine.cameraManager()->CurrentNumber());
    engine.console()->visible = console;

    // The first frame sets the camera that the objects of the next one use.
    engine.renderManager()->RenderFrame(0.0f);
    const auto firstFrame = std::chrono::steady_clock::now();
    const auto drawing = std::chrono::steady_clock::now();
    for (long i = 0; i < frames; ++i) engine.renderManager()->RenderFrame(0.0f);
    std::vector<std::uint32_t> pixels;
    std::uint32_t w = 0, h = 0;
    engine.device()->ReadPixels(pixels, w, h);  // waits for the last frame to be drawn
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - drawing).count();
    const double startup = std::chrono::duration<double>(firstFrame - started).count();

    // 0xAARRGGBB words to R, G, B bytes.
    std::vector<unsigned char> rgb(static_cast<std::size_t>(w) * h * 3);
    for (std::size_t i = 0; i < pixels.size(); ++i) {
        rgb[i * 3] = static_cast<unsigned char>(pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<unsigned char>(pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<unsigned char>(pixels[i]);
    }
    const bool written = w > 0 && stbi_write_png(outPath.string().c_str(), static_cast<int>(w), static_cast<int>(h), 3,
                                                 rgb.data(), static_cast<int>(w * 3)) != 0;
    engine.Shutdown();
    if (!written) {
        std::fprintf(stderr, "krovane-shot: cannot write %s\n", outPath.string().c_str());
        return 1;
    }
    std::printf("krovane-shot: wrote %s (%ux%u), start-up to first frame %.0f ms\n", outPath.string().c_str(), w, h,
                startup * 1000.0);
    std::printf("krovane-shot: %ld frames in %.3f s, %.1f fps\n", frames, seconds,
                seconds > 0 ? static_cast<double>(frames) / seconds : 0.0);
    return 0;
}
