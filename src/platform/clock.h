// Clock: the engine's two time sources, the millisecond tick that paces
// everything and the UTC calendar time stamped into the log header.
//
// The tick is a 32-bit count of milliseconds from an arbitrary start that
// wraps around after about 49.7 days; all arithmetic on ticks is unsigned
// 32-bit so that differences stay right across the wrap. Tests switch both
// sources to manual values (setManualTicks, advanceTicks, setManualUtc) so
// that pacing and stamps are deterministic; useRealTime() switches back.
// Only the main thread reads or sets them.
#pragma once

#include <cstdint>

namespace krovane::platform {

struct UtcTime {
    int year, month, day;  // month 1-12, day 1-31
    int hour, minute, second;
};

class Clock {
public:
    static std::uint32_t ticks();
    static UtcTime utcNow();

    // Test seam: from now on ticks() returns `value` until changed.
    static void setManualTicks(std::uint32_t value);
    static void advanceTicks(std::uint32_t milliseconds);  // wraps like the real tick
    static void setManualUtc(const UtcTime& time);
    static void useRealTime();
};

}  // namespace krovane::platform
