#include "platform/clock.h"

#include <chrono>
#include <ctime>

namespace krovane::platform {

namespace {

struct State {
    bool manualTicks = false;
    std::uint32_t ticks = 0;
    bool manualUtc = false;
    UtcTime utc{};
};

State& state() {
    static State s;
    return s;
}

}  // namespace

std::uint32_t Clock::ticks() {
    if (state().manualTicks) return state().ticks;
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    // Truncation to 32 bits is the wrap-around of the tick.
    return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

UtcTime Clock::utcNow() {
    if (state().manualUtc) return state().utc;
    const std::time_t now = std::time(nullptr);
    std::tm parts{};
#if defined(_WIN32)
    gmtime_s(&parts, &now);
#else
    gmtime_r(&now, &parts);
#endif
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

void Clock::setManualTicks(std::uint32_t value) {
    state().manualTicks = true;
    state().ticks = value;
}

void Clock::advanceTicks(std::uint32_t milliseconds) {
    if (!state().manualTicks) setManualTicks(ticks());
    state().ticks += milliseconds;
}

void Clock::setManualUtc(const UtcTime& time) {
    state().manualUtc = true;
    state().utc = time;
}

void Clock::useRealTime() {
    state().manualTicks = false;
    state().manualUtc = false;
}

}  // namespace krovane::platform
