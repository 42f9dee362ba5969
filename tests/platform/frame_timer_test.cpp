// FrameTimer over the settable tick: wrap-around and the pacing shift.
#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/frame_timer.h"

namespace {

using krovane::platform::Clock;
using krovane::platform::FrameTimer;

struct FrameTimerTest : ::testing::Test {
    void TearDown() override { Clock::useRealTime(); }
};

TEST_F(FrameTimerTest, WrapFutureMarkAndPause) {
    Clock::setManualTicks(0xFFFFFF00u);
    FrameTimer t;
    t.Reset();
    Clock::advanceTicks(0x200);  // wraps past zero
    EXPECT_EQ(Clock::ticks(), 0x100u);
    EXPECT_EQ(t.Elapsed(), 0x200u);
    // A mark moved into the future reads as long expired.
    Clock::setManualTicks(5000);
    t.Reset();
    Clock::advanceTicks(50);
    t.mark += 100000;  // what a key press does to the console's timers
    EXPECT_GT(t.Elapsed(), 4000000000u);
    t.Reset();
    EXPECT_EQ(t.Elapsed(), 0u);
}

}  // namespace
