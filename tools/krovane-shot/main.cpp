// krovane-shot: renders a level offscreen through the engine and writes the
// last frame as a PNG, or checks that a level loads.
//
//   krovane-shot [--frames N] [--size WxH] [--camera K] [--console|--bare] [--out FILE] LEVEL_DIR|MODEL
//   krovane-shot --null [--frames N] [--camera K] [--console|--bare] LEVEL_DIR|MODEL
//   krovane-shot --thumbnail [--frames N] [--size WxH] [--camera K] [--out FILE] LEVEL_DIR|MODEL
//   krovane-shot --check [--strict] LEVEL_DIR|MODEL
//   (each with [--up AXIS] [--animation N] before a MODEL, and [--time SECONDS])
//
// It opens LEVEL_DIR as the viewer does: it reads "ini.txt" there, loads the
// level and leaves "LOG.dr" there. A model file
// (.x, .gltf, .glb, .obj, .fbx, .dae) is shown in a level made for it in the
// cache (see app/model_level.h), where LOG.dr then goes; without --camera,
// from the viewer's first view of it, standing on --up's axis (see
// app/model_view.h), in the picture's aspect, and a model that moves as
// the viewer first shows it: its first animation set (--animation N: the
// N-th) at its start (--time: that many seconds in). A level's objects that
// play an animation are drawn --time seconds in. The image goes to
// FILE, replacing it; without --out to shot.png in the folder it was started
// from, or shot_2.png, shot_3.png... when that is taken. It draws
// until the head-up frame rate has been measured once, then N frames more,
// so that the picture shows a real rate. The last line of its output ends
// with the frames per second of those N frames.
//
// Nothing to show is a failure, never an empty picture: when the model file
// given did not load, or the level lists objects and none of them loaded, it
// writes no picture, prints why and the log's Error lines on stderr and
// exits 1.
//
// --bare draws the scene alone, without the head-up text or the console,
// and does not wait for the rate: the first frame, then N frames, and the
// picture is written.
//
// --thumbnail (file managers' thumbnails) draws as --bare does a square
// picture with a transparent background, the current camera moved to frame
// the visible objects tightly (see app/thumbnail.h), in a child process
// stopped after kThumbnailSeconds or kThumbnailMegabytes of memory; then no
// picture is written and it exits 1.
//
// --null draws the same frames on a device that draws nothing (every call
// checked, nothing drawn), so that the rate is the engine's own; no picture.
//
// --check loads the level without drawing (on an offscreen OpenGL context,
// so that effects are compiled; without one, on a device that draws
// nothing), prints the start-up log as UTF-8 lines "TYPE: text", then a
// "Warning: ..." line for each fallback the log does not report (see
// app/level_warnings.h), and exits 1 when the log holds an Error line (or,
// with --strict, when there is a warning), else 0.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/frame_rate_counter.h"
#include "app/krovane.h"
#include "app/level_warnings.h"
#include "app/model_level.h"
#include "app/model_view.h"
#include "app/thumbnail.h"
#include "gfx/null_device.h"
#include "gfx/png_writer.h"
#include "platform/child_process.h"
#include "platform/code_page_1251.h"
#include "platform/window.h"
#include "scene/static_c_object.h"

using namespace krovane::app;

namespace {

// A thumbnail: its side without --size, how much of it the model fills, and
// what a run may take before it is stopped (no thumbnail, exit 1).
constexpr long kThumbnailSide = 256;
constexpr float kThumbnailFill = 0.9f;
constexpr long kThumbnailSeconds = 20;
constexpr long kThumbnailMegabytes = 2048;
static_assert(kThumbnailSide == 256 && kThumbnailSeconds == 20 && kThumbnailMegabytes == 2048,
              "the usage and README name them");

constexpr const char* kUsage =
    "usage: krovane-shot [--frames N] [--size WxH] [--camera K] [--console|--bare] [--out FILE] LEVEL_DIR|MODEL\n"
    "       krovane-shot --null [--frames N] [--camera K] [--console|--bare] LEVEL_DIR|MODEL\n"
    "       krovane-shot --thumbnail [--frames N] [--size WxH] [--camera K] [--out FILE] LEVEL_DIR|MODEL\n"
    "       krovane-shot --check [--strict] LEVEL_DIR|MODEL\n"
    "       krovane-shot --help | --version\n"
    "MODEL is a .x, .gltf, .glb, .obj, .fbx or .dae file, shown in a level made for it, seen as the\n"
    "  viewer first shows it; --up +Y|-Y|+Z|-Z|+X|-X names its up axis (default +Y).\n"
    "--animation N shows a model's N-th animation set; --time SECONDS draws animations that far in.\n"
    "--bare draws the scene alone, without the head-up text, and does not wait for the frame rate.\n"
    "--thumbnail draws the objects alone, seen the way the camera looks and framed to fill 90%\n"
    "  of a square picture (its side the larger of --size, default 256) with a transparent\n"
    "  background; stopped after 20 s or 2048 MiB, it writes no picture and exits 1.\n"
    "--null draws on a device that draws nothing, for the engine's own rate; no picture.\n"
    "--check prints the level's log and its warnings; it fails on an Error line (and, with --strict, a warning).\n";

int usage(const char* why) {
    std::fprintf(stderr, "krovane-shot: %s\n%s", why, kUsage);
    return 2;
}

bool readNumber(const char* text, long low, long high, long& out) {
    char* end = nullptr;
    out = std::strtol(text, &end, 10);
    return end != text && *end == '\0' && out >= low && out <= high;
}

// The log as "TYPE: text" lines in UTF-8 on stdout, the stamp "[S:MMM] " left
// out; true when one of them is an Error.
bool printLog(const Krovane_Console& console) {
    static constexpr struct {
        const char* stored;
        const char* shown;
    } kTypes[] = {{"_TEXT_", "Text"}, {"_ERROR_", "Error"}, {"_COMMENT_", "Comment"}, {"_SYSTEM_", "System"}};
    const DynamicRow& log = console.log().tree();
    bool error = false;
    for (const unsigned id : console.log().lineIds()) {
        std::string text = std::string(log.iLookName(id).view());
        const unsigned typeId = log.TopId(id);
        const std::string stored = typeId != 0 ? std::string(log.iLookName(typeId).view()) : std::string();
        const char* type = "Line";
        for (const auto& t : kTypes)
            if (stored == t.stored) type = t.shown;
        error = error || stored == "_ERROR_";
        if (text.size() > 2 && text[0] == '[' && text[1] >= '0' && text[1] <= '9') {
            const std::size_t close = text.find("] ");
            if (close != std::string::npos) text.erase(0, close + 2);
        }
        std::printf("%s: %s\n", type, krovane::cp1251ToUtf8(text).c_str());
    }
    return error;
}

// Why nothing is there to draw: the model file given did not load, or the
// level lists objects and none of them loaded (with a model); else empty.
std::string nothingLoaded(const Krovane& engine, bool modelFile) {
    const Krovane_Object_Manager* objects = engine.objectManager();
    if (objects == nullptr) return "the level did not start";
    bool loaded = false;
    objects->entries().forEach([&](std::uint32_t, const Krovane_Object_Manager::ObjectEntry& entry) {
        const auto* object = dynamic_cast<const Static_CObject*>(entry.object.get());
        loaded = loaded || (object != nullptr && object->mesh() != nullptr);
    });
    if (loaded) return {};
    if (modelFile) return "the model did not load";
    const std::uint32_t listed = objects->lastId() + objects->errors();
    if (listed > 0) return "none of the level's " + std::to_string(listed) + " objects loaded";
    return {};
}

// Loads the level in `folder` and prints its log and warnings.
int checkLevel(const std::filesystem::path& folder, bool strict, ModelLevel& model) {
    Krovane engine;
    Krovane::Settings settings = Krovane::readSettings(folder);
    std::string error;
    krovane::gfx::Ref<krovane::gfx::Device> device;
    auto window = krovane::platform::Window::create("krovane-shot", 64, 64, true, error);
    if (!window || krovane::gfx::failed(Krovane::InitDevice(*window, settings, &device, error))) {
        std::fprintf(stderr, "krovane-shot: no offscreen OpenGL (%s); checking without compiling the effects\n",
                     error.c_str());
        device = krovane::gfx::createNullDevice();
    }
    if (window) settings.dpi = window->verticalDpi();
    engine.adoptModel(model.takeParsedModel());
    engine.Initialize(std::move(device), settings);
    model.report(*engine.console());
    const bool error_found = printLog(*engine.console());
    const std::vector<std::string> warned = levelWarnings(engine);
    for (const std::string& line : warned) std::printf("%s\n", line.c_str());
    engine.Shutdown();
    return error_found || (strict && !warned.empty()) ? 1 : 0;
}

// What the command line asks for.
struct Options {
    long frames = 10, width = 640, height = 480, camera = 0;
    bool console = false, bare = false, check = false, strict = false, null = false, picture = false;
    bool thumbnail = false;
    std::string out, level;  // no --out: a free name from "shot.png" on
    std::optional<krovane::scene::OrbitControl::Axis> up;
    long animation = 0;  // from 1; 0: the first set, as the viewer starts
    double time = 0;     // seconds into the animations drawn
};

// Draws the level in `folder` and writes the picture to `outPath` (a free
// name from it without --out); the exit status.
int drawLevel(const std::filesystem::path& folder, const Options& o, ModelLevel& model,
              const std::filesystem::path& outPath) {
    namespace fs = std::filesystem;
    const auto started = std::chrono::steady_clock::now();
    Krovane engine;
    Krovane::Settings settings = Krovane::readSettings(folder);
    settings.errorsOnStderr = true;  // --check prints the whole log instead
    std::string error;
    krovane::gfx::Ref<krovane::gfx::Device> device;
    std::unique_ptr<krovane::platform::Window> window;
    // A thumbnail is cut from the middle of a frame drawn 4:3, as the cameras see.
    const auto side = static_cast<std::uint32_t>(std::max(o.width, o.height));
    const long drawnWidth = o.thumbnail ? static_cast<long>(Thumbnail::drawnWidth(side)) : o.width;
    const long drawnHeight = o.thumbnail ? static_cast<long>(side) : o.height;
    if (o.null) {
        device = krovane::gfx::createNullDevice();
    } else {
        window = krovane::platform::Window::create("krovane-shot", static_cast<int>(drawnWidth),
                                                   static_cast<int>(drawnHeight), true, error);
        if (!window) {
            std::fprintf(stderr, "krovane-shot: no offscreen window: %s\n", error.c_str());
            return 1;
        }
        if (krovane::gfx::failed(Krovane::InitDevice(*window, settings, &device, error))) {
            std::fprintf(stderr, "krovane-shot: cannot create the 3D device: %s\n", error.c_str());
            return 1;
        }
        settings.dpi = window->verticalDpi();
    }
    engine.adoptModel(model.takeParsedModel());
    engine.Initialize(std::move(device), settings);
    model.report(*engine.console());
    // Nothing to show is a failure, never an empty picture: the log's errors, on stderr above, say why.
    if (const std::string why = nothingLoaded(engine, !model.folder().empty()); !why.empty()) {
        std::fprintf(stderr, "krovane-shot: %s: no picture\n", why.c_str());
        engine.Shutdown();
        return 1;
    }
    if (o.camera > 0 && !engine.cameraManager()->SelectCamera(static_cast<int>(o.camera)))
        std::fprintf(stderr, "krovane-shot: the level has no camera %ld; using camera %d\n", o.camera,
                     engine.cameraManager()->CurrentNumber());
    engine.console()->setVisible(o.console);
    engine.renderManager()->setOverlayShown(!o.bare);
    if (!model.folder().empty()) {
        ModelView view(o.up.value_or(krovane::scene::OrbitControl::Axis::PlusY));
        const std::size_t sets = view.animationCount(engine);
        if (o.animation > static_cast<long>(std::max<std::size_t>(sets, 1))) {
            std::fprintf(stderr, "krovane-shot: the model has %zu animation sets, not %ld: no picture\n", sets,
                         o.animation);
            engine.Shutdown();
            return 1;
        }
        view.playFrom(o.animation > 0 ? static_cast<std::size_t>(o.animation - 1) : 0, o.time);
        view.start(engine, static_cast<int>(drawnWidth), static_cast<int>(drawnHeight));
        if (o.camera == 0) view.applyTo(engine);
    } else {
        engine.objectManager()->advanceAnimations(o.time);
    }
    if (!model.folder().empty() && o.camera == 0) {
        // A thumbnail frames the camera again, through the fixed projection.
        if (Krovane_Camera* camera = engine.cameraManager()->CurrentCamera(); camera != nullptr && o.thumbnail) {
            camera->aspect = Krovane_Camera::kAspect;
            camera->nearPlane = Krovane_Camera::kNear;
            camera->farPlane = Krovane_Camera::kFar;
        }
    }
    if (o.thumbnail) {
        Thumbnail::frame(engine, static_cast<std::uint32_t>(drawnWidth), side, kThumbnailFill);
        engine.renderManager()->setBackColor(Thumbnail::kOverBlack);
    }

    // The first frame sets the camera that the objects of the next one use.
    // Then frames are drawn, as the viewer's loop draws them, until the
    // head-up rate has been measured once, so that the picture shows it;
    // a bare picture shows no rate and does not wait for one.
    FrameRateCounter rate;
    rate.Reset();
    engine.renderManager()->RenderFrame(0.0f);
    const auto firstFrame = std::chrono::steady_clock::now();
    while (!o.bare && rate.shown() == 0) {
        rate.countFrame();
        engine.renderManager()->RenderFrame(0.0f);
        rate.update();
    }
    const auto drawing = std::chrono::steady_clock::now();
    for (long i = 0; i < o.frames; ++i) engine.renderManager()->RenderFrame(static_cast<float>(rate.shown()));
    std::vector<std::uint32_t> pixels;
    std::uint32_t w = 0, h = 0;
    engine.device()->ReadPixels(pixels, w, h);  // waits for the last frame to be drawn
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - drawing).count();
    const double startup = std::chrono::duration<double>(firstFrame - started).count();
    if (o.thumbnail) {
        // The same frame over white tells what is drawn from what is background.
        std::vector<std::uint32_t> overWhite;
        engine.renderManager()->setBackColor(Thumbnail::kOverWhite);
        engine.renderManager()->RenderFrame(0.0f);
        engine.device()->ReadPixels(overWhite, w, h);
        pixels = Thumbnail::cutOut(pixels, overWhite, w, h);
        w = h;
    }

    fs::path written = outPath;
    if (!o.null && o.out.empty()) {
        written = krovane::gfx::writePngToFreeName(fs::path(outPath).replace_extension(), pixels, w, h, o.thumbnail);
    } else if (o.thumbnail) {
        // Under its own name until whole, so that a run stopped at its limits leaves no picture.
        const fs::path part = fs::path(outPath) += ".part";
        std::error_code ec;
        if (!krovane::gfx::writePng(part, pixels, w, h, true)) written.clear();
        if (!written.empty()) fs::rename(part, outPath, ec);
        if (ec) written.clear();
    } else if (!o.null && !krovane::gfx::writePng(outPath, pixels, w, h)) {
        written.clear();
    }
    engine.Shutdown();
    if (written.empty()) {
        std::fprintf(stderr, "krovane-shot: cannot write %s\n", outPath.string().c_str());
        return 1;
    }
    if (o.null)
        std::printf("krovane-shot: drew on the null device, start-up to first frame %.0f ms\n", startup * 1000.0);
    else
        std::printf("krovane-shot: wrote %s (%ux%u), start-up to first frame %.0f ms\n", written.string().c_str(), w, h,
                    startup * 1000.0);
    std::printf("krovane-shot: %ld frames in %.3f s, %.1f fps\n", o.frames, seconds,
                seconds > 0 ? static_cast<double>(o.frames) / seconds : 0.0);
    return 0;
}

// A limit of a thumbnail run: the environment's KROVANE_THUMBNAIL_... when it
// holds a number from 1 on (tests use tiny ones), else `fallback`.
long thumbnailLimit(const char* name, long fallback) {
    long value = 0;
    const char* text = std::getenv(name);
    return text != nullptr && readNumber(text, 1, 1L << 20, value) ? value : fallback;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("krovane-shot %s\n", KROVANE_VERSION);
            return 0;
        } else if (arg == "--frames" && hasValue) {
            if (!readNumber(argv[++i], 1, 100000, o.frames)) return usage("--frames takes a number from 1 to 100000");
        } else if (arg == "--size" && hasValue) {
            o.picture = true;
            const std::string size = argv[++i];
            const std::size_t x = size.find('x');
            if (x == std::string::npos || !readNumber(size.substr(0, x).c_str(), 1, 8192, o.width) ||
                !readNumber(size.substr(x + 1).c_str(), 1, 8192, o.height))
                return usage("--size takes WIDTHxHEIGHT, each from 1 to 8192");
        } else if (arg == "--camera" && hasValue) {
            if (!readNumber(argv[++i], 1, 1000000, o.camera)) return usage("--camera takes a camera number from 1");
        } else if (arg == "--check") {
            o.check = true;
        } else if (arg == "--strict") {
            o.strict = o.check = true;
        } else if (arg == "--null") {
            o.null = true;
        } else if (arg == "--console") {
            o.console = true;
        } else if (arg == "--bare") {
            o.bare = true;
        } else if (arg == "--thumbnail") {
            o.thumbnail = o.bare = true;
        } else if (arg == "--up" && hasValue) {
            o.up = krovane::scene::OrbitControl::parseAxis(argv[++i]);
            if (!o.up) return usage("--up takes +Y, -Y, +Z, -Z, +X or -X");
        } else if (arg == "--animation" && hasValue) {
            if (!readNumber(argv[++i], 1, 1000000, o.animation)) return usage("--animation takes a set number from 1");
        } else if (arg == "--time" && hasValue) {
            char* end = nullptr;
            const char* text = argv[++i];
            o.time = std::strtod(text, &end);
            if (end == text || *end != '\0' || !(o.time >= 0 && o.time <= 1e9))
                return usage("--time takes seconds from 0");
        } else if (arg == "--out" && hasValue) {
            o.picture = true;
            o.out = argv[++i];
        } else if (arg.rfind("--", 0) == 0 || !o.level.empty()) {
            return usage(("cannot use " + arg).c_str());
        } else {
            o.level = arg;
        }
    }
    if (o.level.empty()) return usage("no level folder given");
    if (o.thumbnail && (o.null || o.console)) return usage("--thumbnail does not go with --null or --console");
    if (o.null && o.picture) return usage("--null draws no picture: --out and --size do not go with it");
    if (o.bare && o.console) return usage("--bare draws the scene alone: --console does not go with it");
    if (o.thumbnail && !o.picture) o.width = o.height = kThumbnailSide;

    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path outPath = fs::absolute(o.out.empty() ? "shot.png" : o.out, ec);
    ModelLevel model;  // its temporary folder, if any, goes when main returns
    std::string level = o.level;
    if (fs::is_regular_file(level, ec)) {
        if (!ModelLevel::isModelFile(level))
            return usage(
                (std::string("not a level folder or a model (") + ModelLevel::kExtensions + "): " + level).c_str());
        std::string error;
        if (!model.prepare(fs::absolute(level), "krovane-shot", error)) {
            std::fprintf(stderr, "krovane-shot: cannot show %s: %s\n", level.c_str(), error.c_str());
            return 1;
        }
        level = model.folder().string();
    } else if (o.up || o.animation > 0) {
        return usage(o.up ? "--up is for a model file, not a level folder"
                          : "--animation is for a model file, not a level folder");
    }
    const fs::path folder = fs::absolute(level, ec);
    if (!fs::is_directory(folder, ec)) {
        const std::string why = ec ? ec.message() : std::make_error_code(std::errc::no_such_file_or_directory).message();
        std::fprintf(stderr, "krovane-shot: cannot work in %s: %s\n", level.c_str(), why.c_str());
        return 1;
    }
    if (o.check) return checkLevel(folder, o.strict, model);
    if (!o.thumbnail) return drawLevel(folder, o, model, outPath);

    // A thumbnail is drawn in a child process held to its time and memory:
    // a model too large or a driver that hangs gives no thumbnail, not a stuck file manager.
    const long seconds = thumbnailLimit("KROVANE_THUMBNAIL_SECONDS", kThumbnailSeconds);
    const long megabytes = thumbnailLimit("KROVANE_THUMBNAIL_MEMORY_MB", kThumbnailMegabytes);
    const krovane::platform::ChildOutcome outcome = krovane::platform::runInChildProcess(
        [&](std::string&) { return drawLevel(folder, o, model, outPath); }, static_cast<unsigned>(seconds),
        static_cast<std::size_t>(megabytes) << 20);
    if (outcome.finished) return outcome.exitCode;
    fs::remove(fs::path(outPath) += ".part", ec);
    std::fprintf(stderr, "krovane-shot: no thumbnail: the drawing %s (the limits are %ld s and %ld MiB)\n",
                 outcome.fault.c_str(), seconds, megabytes);
    return 1;
}
