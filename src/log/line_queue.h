// LineQueue: where the console hands each line typed into it, finished, to be
// run later. The command queue implements it; the console holds one and so
// needs nothing of the scene.
#pragma once

#include "params/korvane_string.h"

class LineQueue {
public:
    virtual ~LineQueue() = default;

    // Adds `line` after the lines already waiting.
    virtual void queueLine(const Korvane_string& line) = 0;
};
