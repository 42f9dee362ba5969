// FrameTimer: a millisecond stopwatch over the engine's tick.
//
// Reset() sets `mark` to now; Elapsed() is now minus `mark` in unsigned
// 32-bit arithmetic, so it is right across the tick's wrap-around.
// Call Reset() before the first Elapsed(); until then the timer counts from tick 0.
#pragma once

#include <cstdint>

#include "platform/clock.h"

namespace krovane::platform {

struct FrameTimer {
    std::uint32_t mark = 0;

    void Reset() { mark = Clock::ticks(); }
    std::uint32_t Elapsed() const { return Clock::ticks() - mark; }

    // Moves the mark `milliseconds` into the future, which Elapsed() reads as
    // long expired (the unsigned difference wraps): a pacing check made next
    // passes at once. The console does this on every key press.
    void expire(std::uint32_t milliseconds) { mark += milliseconds; }
    // Leaves the time from pause() to resume() out of Elapsed(): work between
    // frames (writing a picture) then does not count as the frame's time.
    void pause() { pausedAt_ = Clock::ticks(); }
    void resume() { mark += Clock::ticks() - pausedAt_; }

private:
    std::uint32_t pausedAt_ = 0;
};

}  // namespace krovane::platform
