// widenChannel: a colour channel of `max + 1` levels widened to 0..255,
// rounded to the nearest (5-bit 16 is 132, not 131), as every decoder of
// packed pixels (BMP bit fields, 15- and 16-bit TGA, DDS masks and DXT
// end points) widens its channels.
#pragma once

#include <cstdint>

namespace krovane::formats {

constexpr std::uint32_t widenChannel(std::uint32_t value, std::uint32_t max) {
    return static_cast<std::uint32_t>((std::uint64_t{value} * 255 + max / 2) / max);
}

}  // namespace krovane::formats
