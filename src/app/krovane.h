// Krovane: the engine object. It owns the console, the command queue and the
// managers and the 3D device, creates them at start-up and takes them down
// at shutdown.
//
// So far it holds the configuration steps that run before the window exists,
// the device with its fixed states, and the console; the managers come with
// the level loading.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "console/krovane_console.h"
#include "gfx/device.h"
#include "params/dynamic_row.h"

namespace krovane::platform {
class Window;
}

class Krovane {
public:
    // The path of the copy of the configuration written at every start, so
    // that a user can see what was read.
    static constexpr const char* kLoadedParametersPath = "paramLoom2.0\\loaded_parameters";
    static constexpr const char* kLogFile = "LOG.dr";

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
    // 0 or 1) and "FILLMODE" (1: 1 points, 2 wireframe, 3 solid). Other counts
    // and values out of range are ignored.
    void ReadRenderSettings(const DynamicRow* config);

    // Creates the OpenGL device on `window` with the configured multisampling
    // and sets its fixed states. Returns a negative result, with the reason in
    // `error`, when the device cannot be made.
    krovane::gfx::Result InitDevice(krovane::platform::Window& window, std::string& error);
    // The same fixed states on a device made elsewhere (tests use the recording device).
    void adoptDevice(krovane::gfx::Device* device);

    // Creates the console (its log starts here).
    void Initialize();

    // Saves the log to "LOG.dr", then releases the device and the console.
    // Runs its work once however often it is called.
    void Shutdown();

    Krovane_Console* console() const { return console_.get(); }
    krovane::gfx::Device* device() const { return device_; }
    // Where the engine keeps its device; components that must always see the
    // current device keep this address.
    krovane::gfx::Device** deviceHolder() { return &device_; }

    std::uint32_t backColor = 0;  // 0xAARRGGBB
    std::uint16_t multisampleType = 0;
    std::uint16_t fillMode = 0;
    std::uint8_t multisampleAntialias = 0;

private:
    krovane::gfx::Device* device_ = nullptr;
    std::unique_ptr<Krovane_Console> console_;
    bool shutDown_ = false;
};
