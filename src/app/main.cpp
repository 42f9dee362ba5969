// krovane: the viewer. Reads "ini.txt" from the working directory, opens the
// window, creates the device and the engine, and runs the main loop until the
// window is closed (or the program gets SIGINT or SIGTERM), then saves
// "LOG.dr" and exits.
//
//   krovane [LEVEL_DIR]       works in LEVEL_DIR as if started there
//   krovane --help | --version
#include <cstdio>
#include <filesystem>
#include <string>
#include <string_view>

#include "app/krovane.h"
#include "app/main_loop.h"
#include "app/screen_size.h"
#include "formats/cursor_file.h"
#include "platform/path_resolver.h"
#include "platform/window.h"

namespace {

constexpr const char* kTitle = "|Korvane|0.0.5|June 12|";
constexpr int kMaxSide = 16384;  // the largest window side the window layer opens

constexpr const char* kUsage =
    "usage: krovane [LEVEL_DIR]\n"
    "       krovane --help | --version\n"
    "Opens the level in LEVEL_DIR (default: the current folder) and works there:\n"
    "it reads ini.txt and POLYGON01 there and leaves LOG.dr and its pictures there.\n";

int fail(const char* what, const std::string& why) {
    std::fprintf(stderr, "krovane: %s: %s\n", what, why.c_str());
    return 1;
}

int refuse(const std::string& why) {
    std::fprintf(stderr, "krovane: %s\n%s", why.c_str(), kUsage);
    return 2;
}

// Reads the command line; returns -1 to go on (in the level's folder), else
// the exit status.
int readArguments(int argc, char** argv) {
    std::string level;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--version") {
            std::printf("krovane %s\n", KROVANE_VERSION);
            return 0;
        }
        if (arg.size() > 1 && arg[0] == '-') return refuse("unknown option " + std::string(arg));
        if (!level.empty()) return refuse("one level folder at most, not also " + std::string(arg));
        level = arg;
    }
    if (level.empty()) return -1;
    std::error_code ec;
    if (!std::filesystem::is_directory(level, ec)) return refuse("no such folder: " + level);
    std::filesystem::current_path(level, ec);
    if (ec) return refuse("cannot work in " + level + ": " + ec.message());
    return -1;
}

}  // namespace

int main(int argc, char** argv) {
    using krovane::platform::Window;

    if (const int status = readArguments(argc, argv); status >= 0) return status;

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
    krovane::platform::CursorImage cursor;
    const bool cursorRead =
        krovane::formats::CursorFile::load(krovane::platform::PathResolver::resolve("mouse.cur"), cursor, error);
    if (!window->useCursor(cursorRead ? &cursor : nullptr, error))
        std::fprintf(stderr, "krovane: no mouse cursor: %s\n", error.c_str());
    loop.run(*window);
    engine.Shutdown();
    return 0;
}
