// ScreenSize: the window's size from the "SCREEN" setting of the configuration.
//
// Two or more values give width and height (further values are ignored); a
// single value gives that width and a height of 100; no values, or no
// "SCREEN" key, give 640 x 480. The numbers are taken as they are, without a
// range check (the window layer clamps what it cannot open).
#pragma once

#include "params/dynamic_row.h"

namespace krovane::app {

struct ScreenSize {
    int width = 640;
    int height = 480;

    static ScreenSize fromConfig(const DynamicRow& config);
};

}  // namespace krovane::app
