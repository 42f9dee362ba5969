// krovane: the viewer. Reads "ini.txt" from the level's folder, opens the
// window, creates the device and the engine, and runs the main loop until the
// window is closed (or the program gets SIGINT or SIGTERM), then saves
// "LOG.dr" and exits.
//
//   krovane [LEVEL_DIR]       the level in LEVEL_DIR (default: the current folder)
//   krovane [--up AXIS] MODEL shows a model file in a level made for it in the
//                             cache, and works there (see app/model_level.h);
//                             one that does not load opens the console, whose
//                             log says why. Its window may be resized, is
//                             titled after the file and orbits the model
//                             standing on AXIS (see app/model_view.h)
//   krovane --watch ...       reloads what changes on disk (see app/level_watch.h);
//                             always so for a MODEL
//   krovane --help | --version
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/krovane.h"
#include "app/level_watch.h"
#include "app/main_loop.h"
#include "app/model_level.h"
#include "app/model_view.h"
#include "app/screen_size.h"
#include "formats/cursor_file.h"
#include "platform/file_watcher.h"
#include "platform/path_resolver.h"
#include "platform/window.h"
#include "scene/static_c_object.h"

using namespace krovane::app;

namespace {

constexpr const char* kTitle = "|Korvane|0.0.5|June 12|";
constexpr int kMaxSide = 16384;  // the largest window side the window layer opens

constexpr const char* kUsage =
    "usage: krovane [--watch] [LEVEL_DIR]\n"
    "       krovane [--up +Y|-Y|+Z|-Z|+X|-X] MODEL\n"
    "       krovane --help | --version\n"
    "Opens the level in LEVEL_DIR (default: the current folder):\n"
    "it reads ini.txt and POLYGON01 there and leaves LOG.dr and its pictures there.\n"
    "A MODEL (.x, .gltf, .glb, .obj, .fbx or .dae file) is shown in a level made for it\n"
    "in the cache ($XDG_CACHE_HOME/krovane), where LOG.dr and the pictures then go.\n"
    "Its window orbits the model: left drag turns, right or middle drag pans, the wheel\n"
    "zooms, W/S and Up/Down move in and out, A/D and Left/Right pan, F or Home frames the\n"
    "model, Tab steps through the front, side, top and three-quarter views, Escape closes.\n"
    "--up names the model's up axis (default +Y).\n"
    "--watch reloads what changes on disk while the viewer runs: the level file, object\n"
    "files, models, textures and effects; a MODEL is always watched.\n";

int fail(const char* what, const std::string& why) {
    std::fprintf(stderr, "krovane: %s: %s\n", what, why.c_str());
    return 1;
}

int refuse(const std::string& why) {
    std::fprintf(stderr, "krovane: %s\n%s", why.c_str(), kUsage);
    return 2;
}

// What the command line names: a level folder or a model file (absolute);
// nothing names the current folder.
struct LevelSource {
    std::filesystem::path path;
    std::string given;  // as the command line wrote it, for messages
    bool model = false;
    bool watch = false;  // reload what changes on disk
    std::optional<krovane::scene::OrbitControl::Axis> up;  // --up, for a model
};

// Reads the command line into `source`; returns -1 to go on, else the exit status.
int readArguments(int argc, char** argv, LevelSource& source) {
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
        if (arg == "--watch") {
            source.watch = true;
            continue;
        }
        if (arg == "--up") {
            source.up = krovane::scene::OrbitControl::parseAxis(i + 1 < argc ? argv[++i] : "");
            if (!source.up) return refuse("--up takes +Y, -Y, +Z, -Z, +X or -X");
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') return refuse("unknown option " + std::string(arg));
        if (!level.empty()) return refuse("one level folder or model at most, not also " + std::string(arg));
        level = arg;
    }
    std::error_code ec;
    if (level.empty()) {
        source.path = std::filesystem::current_path(ec);
        return -1;
    }
    source.path = std::filesystem::absolute(level, ec);
    source.given = level;
    if (std::filesystem::is_regular_file(level, ec)) {
        if (!ModelLevel::isModelFile(level))
            return refuse(std::string("not a level folder or a model (") + ModelLevel::kExtensions + "): " + level);
        source.model = source.watch = true;
    } else if (!std::filesystem::is_directory(level, ec)) {
        return refuse("no such folder or model: " + level);
    }
    if (source.up && !source.model) return refuse("--up is for a model file, not a level folder");
    return -1;
}

// Makes the level of `source` ready and sets `folder` to where it is: for a
// model, the level made for it, made again when the model has changed.
// Returns -1 to go on, else the exit status.
int findLevel(const LevelSource& source, ModelLevel& model, std::filesystem::path& folder) {
    std::string error;
    folder = source.path;
    if (source.model) {
        if (!model.prepare(source.path, "krovane", error)) return fail(("cannot show " + source.given).c_str(), error);
        folder = model.folder();
    }
    return -1;
}

// Whether the level made for a model shows it: its one object has a model.
bool modelShown(const Krovane& engine) {
    const Krovane_Object_Manager::ObjectEntry* entry = engine.objectManager()->entry(1);
    const auto* object = entry != nullptr ? dynamic_cast<const Static_CObject*>(entry->object.get()) : nullptr;
    return object != nullptr && object->mesh() != nullptr;
}

// Creates the device on `window` with `settings` and starts the engine with
// its level; the import's failure of a model goes to its log.
bool startEngine(Krovane& engine, krovane::platform::Window& window, Krovane::Settings& settings, ModelLevel& model,
                 bool watch) {
    std::string error;
    krovane::gfx::Ref<krovane::gfx::Device> device;
    if (krovane::gfx::failed(Krovane::InitDevice(window, settings, &device, error))) {
        fail("cannot create the 3D device", error);
        return false;
    }
    settings.dpi = window.verticalDpi();
    settings.keepSources = watch;
    engine.adoptModel(model.takeParsedModel());  // read once, for its size: not again
    engine.Initialize(std::move(device), settings);
    model.report(*engine.console());
    // A model that does not load shows the log at once: its reason is there.
    if (!model.folder().empty() && !modelShown(engine)) engine.console()->setVisible(true);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    using krovane::platform::Window;

    LevelSource source;
    if (const int status = readArguments(argc, argv, source); status >= 0) return status;
    ModelLevel model;
    std::filesystem::path folder;
    if (const int status = findLevel(source, model, folder); status >= 0) return status;

    Window::useDesktopMessageBoxes();
    Krovane engine;
    Krovane::Settings settings = Krovane::readSettings(folder);
    ScreenSize screen = ScreenSize::fromConfig(settings.config);
    if (screen.width < 1 || screen.height < 1 || screen.width > kMaxSide || screen.height > kMaxSide) {
        // A window of that size cannot be opened; start with the default rather than not at all.
        std::fprintf(stderr, "krovane: SCREEN %d x %d cannot be opened; using 640 x 480\n", screen.width,
                     screen.height);
        screen = ScreenSize{};
    }

    std::string error;
    std::unique_ptr<Window> window = Window::create(kTitle, screen.width, screen.height, false, error);
    if (!window) return fail("cannot open the window", error);
    if (!startEngine(engine, *window, settings, model, source.watch)) return 1;

    MainLoop loop(engine, window.get());
    ModelView view(source.up.value_or(krovane::scene::OrbitControl::Axis::PlusY));
    if (source.model) {
        window->setTitle(source.path.filename().string() + " \xE2\x80\x94 Krovane");  // an em dash
        window->setResizable(true);
        int width = 0, height = 0;
        window->drawableSize(width, height);
        view.start(engine, width, height);
        loop.showModel(&view);
    }
    std::unique_ptr<LevelWatch> watch;
    if (source.watch) {
        std::unique_ptr<krovane::platform::FileWatcher> watcher = krovane::platform::FileWatcher::create(error);
        if (watcher)
            watch =
                std::make_unique<LevelWatch>(engine, std::move(watcher), source.model ? &model : nullptr, source.path);
        else
            std::fprintf(stderr, "krovane: files are not watched: %s\n", error.c_str());
        loop.watchFiles(watch.get());
    }
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
