// Geometry against values worked out by hand from the formulas.
#include <gtest/gtest.h>

#include <cmath>

#include "gfx/geometry.h"

namespace {

using namespace krovane::gfx;

void expectMatrix(const Matrix& m, const float (&expected)[4][4]) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) EXPECT_NEAR(m.m[i][j], expected[i][j], 1e-5f) << "row " << i << " column " << j;
}

TEST(Geometry, LookAtFromBehindTheOrigin) {
    // Eye at (0, 0, -10) looking at the origin: the axes stay, the origin is 10 ahead.
    const Matrix v = lookAtLH({0, 0, -10}, {0, 0, 0}, {0, 1, 0});
    expectMatrix(v, {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 10, 1}});
    // Looking along +X from (5, 2, 0): z = (1,0,0), x = up x z = (0,0,-1), y = (0,1,0).
    const Matrix side = lookAtLH({5, 2, 0}, {6, 2, 0}, {0, 1, 0});
    expectMatrix(side, {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, -2, -5, 1}});
}

TEST(Geometry, PerspectiveOfTheCamera) {
    // 45 degrees, 4:3, near 1, far 15000: yScale = cot(22.5 deg) = 2.4142136, xScale = yScale * 3/4.
    const Matrix p = perspectiveFovLH(0.7853982f, 1.3333334f, 1.0f, 15000.0f);
    expectMatrix(p, {{1.8106602f, 0, 0, 0}, {0, 2.4142136f, 0, 0}, {0, 0, 1.0000667f, 1}, {0, 0, -1.0000667f, 0}});
    // The near plane maps to depth 0 and the far plane to depth 1.
    EXPECT_NEAR(transformCoord({0, 0, 1}, p).z, 0.0f, 1e-6f);
    EXPECT_NEAR(transformCoord({0, 0, 15000}, p).z, 1.0f, 1e-6f);
}

TEST(Geometry, RotationAboutAnAxis) {
    // A quarter turn about +Y takes +Z to +X (to the right, left-handed).
    Vector3 r = transformCoord({0, 0, 1}, rotationAxis({0, 1, 0}, 1.5707964f));
    EXPECT_NEAR(r.x, 1.0f, 1e-6f);
    EXPECT_NEAR(r.z, 0.0f, 1e-6f);
    // Ten degrees: (sin 10, 0, cos 10); the axis need not be normalised.
    r = transformCoord({0, 0, 1}, rotationAxis({0, 3, 0}, 10.0f * 3.14159265f / 180.0f));
    EXPECT_NEAR(r.x, 0.17364818f, 1e-6f);
    EXPECT_NEAR(r.z, 0.98480775f, 1e-6f);
    // About (-1, 0, 0) a positive angle tilts +Z upwards.
    r = transformCoord({0, 0, 1}, rotationAxis({-1, 0, 0}, 10.0f * 3.14159265f / 180.0f));
    EXPECT_NEAR(r.y, 0.17364818f, 1e-6f);
    // Lengths are kept.
    r = transformCoord({3, -4, 12}, rotationAxis({1, 2, 3}, 0.7f));
    EXPECT_NEAR(std::sqrt(dot(r, r)), 13.0f, 1e-4f);
}

TEST(Geometry, VectorsAndProducts) {
    EXPECT_NEAR(normalize({3, 0, 4}).x, 0.6f, 1e-6f);
    const Vector3 zero = normalize({0, 0, 0});  // stays zero rather than NaN
    EXPECT_EQ(zero.x, 0.0f);
    EXPECT_EQ(cross({1, 0, 0}, {0, 1, 0}).z, 1.0f);
    Matrix t = kIdentityMatrix;
    t.m[3][0] = 5;  // a translation, applied after the scale
    Matrix s = kIdentityMatrix;
    s.m[0][0] = 2;
    EXPECT_EQ(transformCoord({1, 0, 0}, multiply(s, t)).x, 7.0f);
    EXPECT_EQ(transformCoord({1, 0, 0}, multiply(t, s)).x, 12.0f);
}

}  // namespace
