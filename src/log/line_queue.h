// LineQueue: where the console hands each finished typed line, to be run
// later. The command queue implements it, so the console needs nothing of the scene.
#pragma once

#include "params/korvane_string.h"

namespace krovane::log {

struct LineQueue {
    virtual ~LineQueue() = default;

    // Adds `line` after the lines already waiting.
    virtual void queueLine(const Korvane_string& line) = 0;
};

}  // namespace krovane::log
