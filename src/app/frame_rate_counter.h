// FrameRateCounter: the frame rate shown in the HUD, refreshed about once a
// second from the idle passes of the main loop.
//
// Once more than 1000 ms have passed since the last refresh, the rate becomes
// the passes counted divided by the whole seconds elapsed (integer division:
// 150 passes in 1999 ms show 150, not 75), and counting starts again. The
// rate is 0 until the first refresh.
#pragma once

#include <cstdint>

#include "platform/frame_timer.h"

namespace krovane::app {

class FrameRateCounter {
public:
    void Reset() {
        timer_.Reset();
        frames_ = 0;
        shown_ = 0;
    }
    // Counts one idle pass.
    void countFrame() { ++frames_; }
    // Refreshes the shown rate when more than a second has passed.
    void update() {
        if (static_cast<double>(timer_.Elapsed()) > 1000.0) {
            // Read again, as the rate is defined; at least one whole second by now.
            const std::uint32_t seconds = timer_.Elapsed() / 1000;
            shown_ = seconds > 0 ? frames_ / seconds : frames_;
            timer_.Reset();
            frames_ = 0;
        }
    }
    std::uint32_t shown() const { return shown_; }

private:
    krovane::platform::FrameTimer timer_;
    std::uint32_t frames_ = 0;
    std::uint32_t shown_ = 0;
};

}  // namespace krovane::app
