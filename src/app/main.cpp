// krovane: the viewer. Reads "ini.txt" from the level's folder, opens the
// window, creates the device and the engine, and runs the main loop until the
// window is closed (or the program gets SIGINT or SIGTERM), then saves
// "LOG.dr" and exits.
//
//   krovane [LEVEL_DIR]       the level in LEVEL_DIR (default: the current folder)
//   krovane [--up AXIS] MODEL shows a model file in a level made for it in the
//                             cache (see app/model_level.h);
//                             one that does not load opens the console, whose
//                             log says why. Its window may be resized, is
//                             titled after the file and orbits the model
//                             standing on AXIS (see app/model_view.h)
//   krovane --watch ...       reloads what changes on disk (see app/level_watch.h);
//                             always so for a MODEL
//   krovane --welcome [...]   the desktop's way in: without a file, a copy of the
//                             demo level, with a line saying what may be dropped
//   krovane --help | --version
// A file or folder dropped on the window opens in place (app/level_opener.h).
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "app/krovane.h"
#include "app/level_opener.h"
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
    "       krovane --welcome [MODEL|LEVEL_DIR]\n"
    "       krovane --help | --version\n"
    "Opens the level in LEVEL_DIR (default: the current folder; its POLYGON01 file names it too):\n"
    "it reads ini.txt and POLYGON01 there and leaves LOG.dr and its pictures there.\n"
    "A MODEL (.x, .gltf, .glb, .obj, .fbx or .dae file) is shown in a level made for it\n"
    "in the cache ($XDG_CACHE_HOME/krovane), where LOG.dr and the pictures then go.\n"
    "Its window orbits the model: left drag turns, right or middle drag pans, the wheel\n"
    "zooms, W/S and Up/Down move in and out, A/D and Left/Right pan, F or Home frames the\n"
    "model, Tab steps through the front, side, top and three-quarter views, Escape closes.\n"
    "--up names the model's up axis (default +Y).\n"
    "--watch reloads what changes on disk while the viewer runs: the level file, object\n"
    "files, models, textures and effects; a MODEL is always watched.\n"
    "--welcome without a file opens the demo level (the desktop's way in).\n"
    "A model, level folder or level file dropped on the window opens in place of the level shown.\n";

int fail(const char* what, const std::string& why) {
    std::fprintf(stderr, "krovane: %s: %s\n", what, why.c_str());
    return 1;
}

int refuse(const std::string& why) {
    std::fprintf(stderr, "krovane: %s\n%s", why.c_str(), kUsage);
    return 2;
}

// What the command line asks for.
struct Options {
    std::string given;   // the level folder, level file or model; empty: none given
    bool watch = false;  // reload what changes on disk
    bool welcome = false;
    std::optional<krovane::scene::OrbitControl::Axis> up;  // --up, for a model
};

// Reads the command line into `options`; returns -1 to go on, else the exit status.
int readArguments(int argc, char** argv, Options& options) {
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
        if (arg == "--watch" || arg == "--welcome") {
            (arg == "--watch" ? options.watch : options.welcome) = true;
            continue;
        }
        if (arg == "--up") {
            options.up = krovane::scene::OrbitControl::parseAxis(i + 1 < argc ? argv[++i] : "");
            if (!options.up) return refuse("--up takes +Y, -Y, +Z, -Z, +X or -X");
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-') return refuse("unknown option " + std::string(arg));
        if (!options.given.empty()) return refuse("one level folder or model at most, not also " + std::string(arg));
        options.given = arg;
    }
    return -1;
}

// Finds and readies what `options` name: the level folder or the model's
// level, or the welcome level. Returns -1 to go on, else the exit status.
int findLevel(const Options& options, LevelOpener& opener, LevelOpener::Target& target) {
    std::string why;
    std::error_code ec;
    if (options.given.empty()) {
        target.path = options.welcome ? opener.welcomeFolder(why) : std::filesystem::current_path(ec);
        if (target.path.empty()) return fail("cannot open the welcome level", why);
    } else if (!LevelOpener::find(options.given, target, why)) {
        return refuse(why);
    }
    if (options.up && !target.model) return refuse("--up is for a model file, not a level folder");
    if (!opener.prepare(target, "krovane", why)) return fail(("cannot show " + options.given).c_str(), why);
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
bool startEngine(Krovane& engine, krovane::platform::Window& window, Krovane::Settings& settings, ModelLevel* model,
                 bool watch) {
    std::string error;
    krovane::gfx::Ref<krovane::gfx::Device> device;
    if (krovane::gfx::failed(Krovane::InitDevice(window, settings, &device, error))) {
        fail("cannot create the 3D device", error);
        return false;
    }
    settings.dpi = window.verticalDpi();
    settings.keepSources = watch;
    if (model != nullptr) engine.adoptModel(model->takeParsedModel());  // read once, for its size: not again
    engine.Initialize(std::move(device), settings);
    if (model == nullptr) return true;
    model->report(*engine.console());
    // A model that does not load shows the log at once: its reason is there.
    if (!modelShown(engine)) engine.console()->setVisible(true);
    return true;
}

// The window and the loop as what `opener` has open wants them: for a model,
// model mode (the orbit, a resizable window titled after the file); for a
// level, its fixed window, titled as levels are.
void enterMode(krovane::platform::Window& window, MainLoop& loop, ModelView& view, Krovane& engine,
               const LevelOpener& opener) {
    if (opener.model() == nullptr) {
        window.setTitle(kTitle);
        window.setResizable(false);
        loop.showModel(nullptr);
        return;
    }
    window.setTitle(opener.modelFile().filename().string() + " \xE2\x80\x94 Krovane");  // an em dash
    window.setResizable(true);
    int width = 0, height = 0;
    window.drawableSize(width, height);
    view.start(engine, width, height);
    loop.showModel(&view);
}

// Watches the files of what `opener` has open, for the loop; null where nothing is watched.
std::unique_ptr<LevelWatch> watchLevel(Krovane& engine, LevelOpener& opener) {
    std::string error;
    std::unique_ptr<krovane::platform::FileWatcher> watcher = krovane::platform::FileWatcher::create(error);
    if (!watcher) {
        std::fprintf(stderr, "krovane: files are not watched: %s\n", error.c_str());
        return nullptr;
    }
    return std::make_unique<LevelWatch>(engine, std::move(watcher), opener.model(), opener.modelFile());
}

}  // namespace

int main(int argc, char** argv) {
    using krovane::platform::Window;

    Options options;
    if (const int status = readArguments(argc, argv, options); status >= 0) return status;
    LevelOpener opener;
    LevelOpener::Target target;
    if (const int status = findLevel(options, opener, target); status >= 0) return status;
    const bool watching = options.watch || target.model;  // a model is always watched

    Window::useDesktopMessageBoxes();
    Krovane engine;
    Krovane::Settings settings = Krovane::readSettings(opener.folder());
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
    if (!startEngine(engine, *window, settings, opener.model(), watching)) return 1;
    if (options.welcome && options.given.empty())
        engine.console()->Print(LevelOpener::kWelcomeLine, MessageType::Comment);

    MainLoop loop(engine, window.get());
    ModelView view(options.up.value_or(krovane::scene::OrbitControl::Axis::PlusY));
    if (opener.model() != nullptr) enterMode(*window, loop, view, engine, opener);
    std::unique_ptr<LevelWatch> watch = watching ? watchLevel(engine, opener) : nullptr;
    loop.watchFiles(watch.get());
    // A file or folder dropped opens in place of the level shown; what is watched follows it.
    loop.onDrop([&](const std::string& path) {
        if (!opener.openInPlace(engine, path)) return;
        enterMode(*window, loop, view, engine, opener);
        if (!watching) return;
        loop.watchFiles(nullptr);
        watch = watchLevel(engine, opener);
        loop.watchFiles(watch.get());
    });
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
