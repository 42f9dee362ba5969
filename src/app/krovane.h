// Krovane: the engine object. It owns the console, the command queue and the
// managers, creates them at start-up and takes them down at shutdown.
//
// For now it holds the configuration step that runs before the window exists.
#pragma once

#include "params/dynamic_row.h"

class Krovane {
public:
    // The path of the copy of the configuration written at every start, so
    // that a user can see what was read.
    static constexpr const char* kLoadedParametersPath = "paramLoom2.0\\loaded_parameters";

    virtual ~Krovane() = default;

    // Reads the configuration file `file` (the entry point passes "ini.txt"),
    // saves what was read to kLoadedParametersPath when that folder exists,
    // and returns the tree. Uses nothing of the engine's state.
    static DynamicRow LoadIniParameters(const char* file);
};
