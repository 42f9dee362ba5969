// Mip chains made on the CPU: level sizes down to 1 x 1 and each texel
// filtered as a linear blit filters it (the mean of 2 x 2 for even sides, the
// bilinear sample at the texel's centre otherwise).
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "gfx/mip_chain.h"

namespace {

TEST(MipChain, LevelsHalveDownToOneTexelFilteredLikeALinearBlit) {
    const struct {
        std::uint32_t width, height;
        std::vector<std::uint32_t> pixels, chain;
    } cases[] = {
        // 2 x 2: each channel the rounded mean (alpha 0xFF, 0xFF, 0xFF, 0x01 -> 0xC0; blue 0x10, 0x20, 0x30, 0x43 ->
        // 0x29).
        {2,
         2,
         {0xFF000010, 0xFF000020, 0xFF000030, 0x01000043},
         {0xFF000010, 0xFF000020, 0xFF000030, 0x01000043, 0xC0000029}},
        // 4 x 1: the side at 1 stays 1.
        {4, 1, {0x00, 0x10, 0x20, 0x40}, {0x00, 0x10, 0x20, 0x40, 0x08, 0x30, 0x1C}},
        // 3 x 3: the one texel sits on the centre texel.
        {3, 3, {1, 2, 3, 4, 0x55, 6, 7, 8, 9}, {1, 2, 3, 4, 0x55, 6, 7, 8, 9, 0x55}},
    };
    for (const auto& c : cases) {
        std::uint32_t levels = 0;
        EXPECT_EQ(krovane::gfx::makeMipChain(c.width, c.height, c.pixels.data(), levels), c.chain)
            << c.width << " x " << c.height;
        EXPECT_EQ(levels, c.width == 4 ? 3u : 2u);
    }
}

}  // namespace
