// truncateToInt: a number read from a file or a command, as an int toward
// zero, for display and counts. Not a number gives 0 and values past the int
// range give its nearest end, where a plain cast would be undefined.
#pragma once

#include <climits>

namespace krovane::params {

inline int truncateToInt(double value) noexcept {
    if (!(value == value)) return 0;
    if (value >= static_cast<double>(INT_MAX)) return INT_MAX;
    if (value <= static_cast<double>(INT_MIN)) return INT_MIN;
    return static_cast<int>(value);
}

}  // namespace krovane::params
