// Krovane: the engine object. It owns the 3D device, the console, the level
// (scene::Level: cameras, lights, effects, objects) and the render manager;
// it creates them and loads the level "POLYGON01" at start-up, and takes them
// down at shutdown.
//
// Every program starts it the same way: readSettings for the level's folder
// (it reads "ini.txt" there), a device made from those settings (InitDevice
// on a window, or one made elsewhere: the null or recording device), then
// Initialize with both. Engine paths resolve against that folder (see
// platform::PathResolver); the process's current folder is never changed.
//
// The device is held here only, by its handle. The level and the render
// manager borrow it as a plain pointer, and the console is given it at each
// draw; it is released after them at shutdown.
//
// Start-up writes its stages to the console log ("[>>>] ..." as System lines,
// "[i] ..." as Comments); nothing stops it: every problem is a log line,
// followed by an Error line that says why. From construction the engine is
// where the parts below the log report (EngineReporter); a tool that wants
// the log's Error lines on stderr too sets Settings::errorsOnStderr.
//
// A viewer that reloads what changes on disk (see LevelWatch) sets
// Settings::keepSources, and loads the level again with reloadLevel.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "app/engine_reporter.h"
#include "app/model_level.h"
#include "app/stderr_copy.h"
#include "console/krovane_console.h"
#include "gfx/geometry.h"
#include "gfx/ref.h"
#include "params/dynamic_row.h"
#include "render/krovane_render_manager.h"
#include "scene/krovane_command_queue.h"
#include "scene/level.h"

namespace krovane::gfx {
class Device;
class Texture;
}  // namespace krovane::gfx
namespace krovane::platform {
class Window;
}

class Krovane {
public:
    // The path of the copy of the configuration written at every start, so
    // that a user can see what was read.
    static constexpr const char* kLoadedParametersPath = "paramLoom2.0\\loaded_parameters";
    static constexpr const char* kLogFile = "LOG.dr";
    static constexpr const char* kLevelFile = "POLYGON01";

    // Render settings before the configuration is read.
    static constexpr std::uint32_t kDefaultBackColor = 0xFF6482AA;  // opaque red 100, green 130, blue 170
    static constexpr std::uint16_t kDefaultFillMode = 3;            // solid

    // What the engine starts with: the level's folder, its configuration and
    // what is read from it, and how the program wants the engine to behave.
    struct Settings {
        std::filesystem::path root;                   // engine paths resolve against it; empty: the current folder
        DynamicRow config;                            // "ini.txt" as read (empty when there is none)
        std::uint32_t backColor = kDefaultBackColor;  // 0xAARRGGBB
        std::uint16_t multisampleType = 0;
        std::uint16_t fillMode = kDefaultFillMode;
        std::uint8_t multisampleAntialias = 0;
        std::uint32_t maxAnisotropy = 1;  // 1: the anisotropic filters set at start filter trilinearly
        bool multisampleInSoftware = true;  // false: none where the renderer draws in software
        int dpi = 96;                     // sizes the point-sized fonts
        // The objects remember which files they were made from (see
        // Krovane_Object_Manager::keepSources), for reloading them.
        bool keepSources = false;
        // Every Error line of the log is also written to stderr, each text
        // once (tools; the viewer's terminal is seldom seen).
        bool errorsOnStderr = false;
    };

    Krovane() = default;
    virtual ~Krovane();
    Krovane(const Krovane&) = delete;
    Krovane& operator=(const Krovane&) = delete;

    // Points engine paths at the level folder `root` (see PathResolver), then
    // reads its configuration (LoadIniParameters("ini.txt")) and the render
    // settings from it.
    static Settings readSettings(const std::filesystem::path& root);

    // Reads the configuration file `file` (an engine path; start-up reads
    // "ini.txt"), saves what was read to kLoadedParametersPath when that
    // folder exists, and returns the tree.
    static DynamicRow LoadIniParameters(const char* file);

    // Sets the render settings of `settings` to their defaults, then takes
    // from `config` (null: defaults only) each key that has exactly the right
    // number of values: "BACK_RENDERER_COLOR" (3: red, green, blue, low 8 bits
    // each, with an alpha byte of 1), "MULTISAMPLE_TYPE" (1),
    // "MULTISAMPLEANTIALIAS" (1: 0 or 1), "FILLMODE" (1: 1 points, 2
    // wireframe, 3 solid), "ANISOTROPY" (1: from 1, the anisotropy of the
    // texture filters) and "MULTISAMPLE_SOFTWARE" (1: 0 leaves multisampling
    // off where the renderer draws in software). Other counts and values out
    // of range are ignored.
    static void ReadRenderSettings(const DynamicRow* config, Settings& settings);

    // Creates the OpenGL device on `window` with the configured multisampling.
    // Returns a negative result, with the reason in `error`, when the device
    // cannot be made.
    static krovane::gfx::Result InitDevice(krovane::platform::Window& window, const Settings& settings,
                                           krovane::gfx::Ref<krovane::gfx::Device>* device, std::string& error);

    // Sets on `device` the states every frame relies on: depth test,
    // lighting, the configured fill mode and multisampling, anisotropic
    // filters of the configured degree. Initialize sets them.
    static void setFixedStates(krovane::gfx::Device& device, const Settings& settings);

    // Takes `device` (the OpenGL one, or the null or recording device) and
    // sets its fixed states, creates the console (its log starts here), the
    // level and the render manager, loads the level file and the shared
    // default textures.
    void Initialize(krovane::gfx::Ref<krovane::gfx::Device> device, const Settings& settings);
    // The same with the default settings, in the current folder (tests).
    void Initialize(krovane::gfx::Ref<krovane::gfx::Device> device);

    // Saves the log to "LOG.dr", then releases the textures, the level, the
    // console and last the device, and lets go of the root. Runs its work
    // once however often it is called.
    void Shutdown();

    // Loads the level file again as at start (its stages and their log lines)
    // into a new level, which replaces the current one; the console, its
    // log, the device and the render manager stay, and so does the current
    // camera's number where the new level has it. A level file that is
    // missing or does not parse replaces nothing: its Error lines, then
    // "[R.F] not reloaded, kept as it was: " and `named`. Else ends with
    // "[i] Reloaded: " and `named` (code page 1251; by default the level
    // file). False when nothing was replaced.
    bool reloadLevel(const Korvane_string& named = kLevelFile);

    // A model already parsed (the one a model level read for its size; none:
    // nothing to hand over): the next level load, at start-up or a reload,
    // takes it in place of parsing its file again.
    void adoptModel(std::optional<krovane::app::ModelLevel::ParsedModel> parsed) { parsedModel_ = std::move(parsed); }

    // The level folder (absolute; empty: the current folder).
    static const std::filesystem::path& root();
    // Engine paths resolve against `root` from now on (the level made for a
    // model, made again in another folder).
    void setRoot(const std::filesystem::path& root);

    Krovane_Console* console() const { return console_.get(); }
    krovane::scene::Level* level() const { return level_.get(); }
    Krovane_Camera_Manager* cameraManager() const { return level_ ? &level_->cameras() : nullptr; }
    Krovane_Object_Manager* objectManager() const { return level_ ? &level_->objects() : nullptr; }
    Krovane_Light_Manager* lightManager() const { return level_ ? &level_->lights() : nullptr; }
    Krovane_Effect_Manager* effectManager() const { return level_ ? &level_->effects() : nullptr; }
    Krovane_Render_Manager* renderManager() const { return renderManager_.get(); }
    Krovane_Command_Queue* commandQueue() const { return commandQueue_.get(); }
    krovane::gfx::Device* device() const { return device_.get(); }

private:
    // A new, empty level, given the model handed over, if any.
    std::unique_ptr<krovane::scene::Level> newLevel();
    // One Error line for a level or command-base file that exists but does
    // not parse, naming the file, line and column (the managers then find
    // nothing in it); with `missingToo`, also for one that is missing
    // ("POLYGON01: no such file") or cannot be read.
    void reportUnread(const DynamicRow& tree, bool missingToo = false);

    krovane::gfx::Ref<krovane::gfx::Device> device_;
    bool keepSources_ = false;
    std::unique_ptr<Krovane_Console> console_;
    std::unique_ptr<Krovane_Command_Queue> commandQueue_;
    std::unique_ptr<Krovane_Render_Manager> renderManager_;
    std::unique_ptr<krovane::scene::Level> level_;
    std::optional<krovane::app::ModelLevel::ParsedModel> parsedModel_;         // for the next level load
    std::array<krovane::gfx::Ref<krovane::gfx::Texture>, 3> defaultTextures_;  // white, red, blue
    bool shutDown_ = false;
    krovane::app::EngineReporter reporter_;
    krovane::app::StderrCopy stderrCopy_;
};
