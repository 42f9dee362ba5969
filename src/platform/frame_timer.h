// FrameTimer: a millisecond stopwatch over the engine's tick.
//
// Reset() sets `mark` to now; Elapsed() is now minus `mark` in
// unsigned 32-bit arithmetic, so it is right across the tick's wrap-around,
// and a mark moved into the future reads as long expired: the console relies
// on that when a key press adds 100000 to `mark` to make its next pacing check
// pass at once.
// Call Reset() before the first Elapsed(); until then the timer counts from tick 0.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace krovane::platform {

struct FrameTimer {
    std::uint32_t mark = 0;

    void Reset() { mark = Clock::ticks(); }
    std::uint32_t Elapsed() const { return Clock::ticks() - mark; }
};

}  // namespace krovane::platform
