// Krovane: the engine object. It owns the 3D device, the console, the
// managers of the level (cameras, lights, effects, objects) and the render
// manager; it creates them and loads the level "POLYGON01" at start-up, and
// takes them down at shutdown.
//
// The device is held here only, by its handle. The managers borrow it as a
// plain pointer given when Initialize makes them, and the console is given
// it at each draw; so it is set (InitDevice or adoptDevice) before
// Initialize, and released after the managers at shutdown.
//
// Start-up writes its stages to the console log ("[>>>] ..." as System lines,
// "[i] ..." as Comments); nothing stops it: every problem is a log line,
// followed by an Error line that says why. From construction the engine is
// where the parts below the log report (EngineReporter); a tool that wants
// the log's Error lines on stderr too sets errorsOnStderr.
//
// A viewer that reloads what changes on disk (see LevelWatch) sets
// keepSources before Initialize, and loads the level again with reloadLevel.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "app/engine_reporter.h"
#include "app/stderr_copy.h"
#include "console/krovane_console.h"
#include "gfx/geometry.h"
#include "gfx/ref.h"
#include "params/dynamic_row.h"
#include "render/krovane_render_manager.h"
#include "scene/krovane_camera_manager.h"
#include "scene/krovane_command_queue.h"
#include "scene/krovane_effect_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/krovane_object_manager.h"

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

    Krovane() = default;
    virtual ~Krovane();
    Krovane(const Krovane&) = delete;
    Krovane& operator=(const Krovane&) = delete;

    // Reads the configuration file `file` (the entry point passes "ini.txt"),
    // saves what was read to kLoadedParametersPath when that folder exists,
    // and returns the tree. Uses nothing of the engine's state.
    static DynamicRow LoadIniParameters(const char* file);

    // Sets the render settings to their defaults, then takes from `config`
    // (null: defaults only) each key that has exactly the right number of
    // values: "BACK_RENDERER_COLOR" (3: red, green, blue, low 8 bits each, with
    // an alpha byte of 1), "MULTISAMPLE_TYPE" (1), "MULTISAMPLEANTIALIAS" (1:
    // 0 or 1), "FILLMODE" (1: 1 points, 2 wireframe, 3 solid) and "ANISOTROPY"
    // (1: from 1, the anisotropy of the texture filters). Other counts and
    // values out of range are ignored.
    void ReadRenderSettings(const DynamicRow* config);

    // Creates the OpenGL device on `window` with the configured multisampling
    // and sets its fixed states. Returns a negative result, with the reason in
    // `error`, when the device cannot be made.
    krovane::gfx::Result InitDevice(krovane::platform::Window& window, std::string& error);
    // The same fixed states on a device made elsewhere (tests use the
    // recording device, and krovane-shot where no window can be had).
    void adoptDevice(krovane::gfx::Ref<krovane::gfx::Device> device);

    // Creates the console (its log starts here), the managers and the render
    // manager, loads the level and the shared default textures. `dpi` sizes
    // the point-sized fonts.
    void Initialize(int dpi = 96);

    // Saves the log to "LOG.dr", then releases the textures, the managers, the
    // console and last the device. Runs its work once however often it is called.
    void Shutdown();

    // Loads the level file again as at start (its stages and their log lines)
    // into new camera, light, effect and object managers, which replace the
    // current ones; the console, its log, the device and the render manager
    // stay, and so does the current camera's number where the new level has
    // it. A level file that is missing or does not parse replaces nothing:
    // its Error lines, then "[R.F] not reloaded, kept as it was: " and
    // `named`. Else ends with "[i] Reloaded: " and `named` (code page 1251;
    // by default the level file). False when nothing was replaced.
    bool reloadLevel(const Korvane_string& named = kLevelFile);

    Krovane_Console* console() const { return console_.get(); }
    Krovane_Camera_Manager* cameraManager() const { return cameraManager_.get(); }
    Krovane_Object_Manager* objectManager() const { return objectManager_.get(); }
    Krovane_Light_Manager* lightManager() const { return lightManager_.get(); }
    Krovane_Effect_Manager* effectManager() const { return effectManager_.get(); }
    Krovane_Render_Manager* renderManager() const { return renderManager_.get(); }
    Krovane_Command_Queue* commandQueue() const { return commandQueue_.get(); }
    krovane::gfx::Device* device() const { return device_.get(); }

    std::uint32_t backColor = 0;  // 0xAARRGGBB
    std::uint16_t multisampleType = 0;
    std::uint16_t fillMode = 0;
    std::uint8_t multisampleAntialias = 0;
    std::uint32_t maxAnisotropy = 1;  // 1: the anisotropic filters set at start filter trilinearly
    // Set before Initialize: the objects remember which files they were made
    // from (see Krovane_Object_Manager::keepSources), for reloading them.
    bool keepSources = false;
    // Set before Initialize: every Error line of the log is also written to
    // stderr, each text once (tools; the viewer's terminal is seldom seen).
    bool errorsOnStderr = false;

private:
    // One Error line for a level or command-base file that exists but does
    // not parse, naming the file, line and column (the managers then find
    // nothing in it); with `missingToo`, also for one that is missing
    // ("POLYGON01: no such file") or cannot be read.
    void reportUnread(const DynamicRow& tree, bool missingToo = false);
    // The level's four stages, each framed by its log lines, into these managers.
    void loadStages(const DynamicRow& level, Krovane_Light_Manager& lights, Krovane_Object_Manager& objects,
                    Krovane_Camera_Manager& cameras, Krovane_Effect_Manager& effects);

    krovane::gfx::Ref<krovane::gfx::Device> device_;
    krovane::gfx::Matrix baseMatrix_ = krovane::gfx::kIdentityMatrix;
    std::unique_ptr<Krovane_Camera_Manager> cameraManager_;
    std::unique_ptr<Krovane_Object_Manager> objectManager_;
    std::unique_ptr<Krovane_Console> console_;
    std::unique_ptr<Krovane_Command_Queue> commandQueue_;
    std::unique_ptr<Krovane_Render_Manager> renderManager_;
    std::unique_ptr<Krovane_Light_Manager> lightManager_;
    std::unique_ptr<Krovane_Effect_Manager> effectManager_;
    std::array<krovane::gfx::Ref<krovane::gfx::Texture>, 3> defaultTextures_;  // white, red, blue
    bool shutDown_ = false;
    krovane::app::EngineReporter reporter_;
    krovane::app::StderrCopy stderrCopy_;
};
