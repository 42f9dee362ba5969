// Krovane: the engine object. It owns the console, the command queue and the
// managers, creates them at start-up and takes them down at shutdown.
//
// So far it holds the steps that run before the window exists: reading the
// configuration and the render settings taken from it.
#pragma once

#include <cstdint>

#include "params/dynamic_row.h"

class Krovane {
public:
    // The path of the copy of the configuration written at every start, so
    // that a user can see what was read.
    static constexpr const char* kLoadedParametersPath = "paramLoom2.0\\loaded_parameters";

    // Render settings before the configuration is read.
    static constexpr std::uint32_t kDefaultBackColor = 0xFF6482AA;  // opaque red 100, green 130, blue 170
    static constexpr std::uint16_t kDefaultFillMode = 3;            // solid

    virtual ~Krovane() = default;

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

    std::uint32_t backColor = 0;  // 0xAARRGGBB
    std::uint16_t multisampleType = 0;
    std::uint16_t fillMode = 0;
    std::uint8_t multisampleAntialias = 0;
};
