// Geometry against values worked out by hand, and mip chains filtered as a linear blit filters.
#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <vector>

#include "gfx/geometry.h"
#include "gfx/mip_chain.h"

namespace {

using namespace krovane::gfx;

void expectMatrix(const Matrix& m, const float (&expected)[4][4]) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i / 4][i % 4], expected[i / 4][i % 4], 1e-5f) << "at " << i;
}

TEST(Geometry, CameraMatricesRotationsAndProducts) {
    const Vector3 up{0, 1, 0};
    // Eye at (0, 0, -10) looking at the origin: the axes stay, the origin is 10 ahead.
    expectMatrix(lookAtLH({0, 0, -10}, {0, 0, 0}, up), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 10, 1}});
    // Looking along +X from (5, 2, 0): z = (1,0,0), x = up x z = (0,0,-1), y = (0,1,0).
    expectMatrix(lookAtLH({5, 2, 0}, {6, 2, 0}, up), {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, -2, -5, 1}});
    // 45 degrees, 4:3, near 1, far 15000: yScale = cot(22.5 deg), xScale = yScale * 3/4; depth 0 to 1.
    const Matrix p = perspectiveFovLH(0.7853982f, 1.3333334f, 1.0f, 15000.0f);
    expectMatrix(p, {{1.8106602f, 0, 0, 0}, {0, 2.4142136f, 0, 0}, {0, 0, 1.0000667f, 1}, {0, 0, -1.0000667f, 0}});
    // A quarter turn about +Y takes +Z to the right (left-handed); the axis need not be normalised.
    const float tenDegrees = 10.0f * 3.14159265f / 180.0f;
    const std::tuple<Vector3, float, Vector3> turns[] = {{{0, 1, 0}, 1.5707964f, {1, 0, 0}},
                                                         {{0, 3, 0}, tenDegrees, {0.17364818f, 0, 0.98480775f}},
                                                         {{-1, 0, 0}, tenDegrees, {0, 0.17364818f, 0.98480775f}}};
    for (const auto& [axis, angle, to] : turns) {
        const Vector3 r = transformCoord({0, 0, 1}, rotationAxis(axis, angle));
        EXPECT_NEAR(std::fabs(r.x - to.x) + std::fabs(r.y - to.y) + std::fabs(r.z - to.z), 0.0f, 3e-6f);
    }
    EXPECT_EQ(normalize({0, 0, 0}).x, 0.0f);  // stays zero rather than NaN
    Matrix t = kIdentityMatrix, s = kIdentityMatrix;
    t.m[3][0] = 5;  // a translation, applied after the scale
    s.m[0][0] = 2;
    EXPECT_EQ(transformCoord({1, 0, 0}, multiply(s, t)).x, 7.0f);
    EXPECT_EQ(transformCoord({1, 0, 0}, multiply(t, s)).x, 12.0f);
}

// Levels halve down to 1 x 1; each texel is the rounded mean of 2 x 2 for even sides, the bilinear sample at the
// texel's centre otherwise.
TEST(MipChain, LevelsHalveDownToOneTexelFilteredLikeALinearBlit) {
    const struct {
        std::uint32_t width, height, levels;
        std::vector<std::uint32_t> pixels, smaller;  // the picture, and the levels made from it
    } cases[] = {{2, 2, 2, {0xFF000010, 0xFF000020, 0xFF000030, 0x01000043}, {0xC0000029}},
                 {4, 1, 3, {0x00, 0x10, 0x20, 0x40}, {0x08, 0x30, 0x1C}},  // a side at 1 stays 1
                 {3, 3, 2, {1, 2, 3, 4, 0x55, 6, 7, 8, 9}, {0x55}}};
    for (const auto& c : cases) {
        std::uint32_t levels = 0;
        std::vector<std::uint32_t> chain = c.pixels;
        chain.insert(chain.end(), c.smaller.begin(), c.smaller.end());
        EXPECT_EQ(makeMipChain(c.width, c.height, c.pixels.data(), levels), chain) << c.width << " x " << c.height;
        EXPECT_EQ(levels, c.levels);
    }
}

}  // namespace
