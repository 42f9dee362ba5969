// Geometry in the engine's convention: 4 x 4 float matrices, row-major, for
// row vectors (p' = p * M, so a product a * b applies a first), in
// left-handed coordinates with +Y up. These are the formulas of the 3D
// utility library the engine was written against, so the matrices match it
// value for value.
#pragma once

#include <cmath>

#include "gfx/device_types.h"

namespace krovane::gfx {

struct Vector3 {
    float x = 0, y = 0, z = 0;
};

inline constexpr Matrix kIdentityMatrix = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

constexpr Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    // Each element sums its four products in order from zero; a row at a
    // time, so that the compiler works on four elements at once.
    for (int i = 0; i < 4; ++i)
        for (int k = 0; k < 4; ++k)
            for (int j = 0; j < 4; ++j) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

constexpr Vector3 operator+(Vector3 a, Vector3 b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
constexpr Vector3 operator-(Vector3 a, Vector3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
constexpr Vector3 operator*(Vector3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
constexpr float dot(Vector3 a, Vector3 b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vector3 cross(Vector3 a, Vector3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// The vector scaled to length 1; a zero vector stays zero (no NaN).
inline Vector3 normalize(Vector3 v) {
    const float length = std::sqrt(dot(v, v));
    return length > 0.0f ? v * (1.0f / length) : Vector3{};
}

// The left-handed view matrix of an eye at `eye` looking at the point `at`.
inline Matrix lookAtLH(Vector3 eye, Vector3 at, Vector3 up) {
    const Vector3 z = normalize(at - eye);
    const Vector3 x = normalize(cross(up, z));
    const Vector3 y = cross(z, x);
    return {
        {{x.x, y.x, z.x, 0}, {x.y, y.y, z.y, 0}, {x.z, y.z, z.z, 0}, {-dot(x, eye), -dot(y, eye), -dot(z, eye), 1}}};
}

// The left-handed perspective projection, depth 0 at `zNear` to 1 at `zFar`.
inline Matrix perspectiveFovLH(float fovY, float aspect, float zNear, float zFar) {
    const float yScale = 1.0f / std::tan(fovY / 2.0f);
    const float xScale = yScale / aspect;
    return {{{xScale, 0, 0, 0},
             {0, yScale, 0, 0},
             {0, 0, zFar / (zFar - zNear), 1},
             {0, 0, -zNear * zFar / (zFar - zNear), 0}}};
}

// Rotation by `angle` radians about `axis` (normalised here); with row
// vectors, v * rotationAxis(k, a) = v cos a + (k x v) sin a + k (k . v)(1 - cos a).
inline Matrix rotationAxis(Vector3 axis, float angle) {
    const Vector3 k = normalize(axis);
    const float c = std::cos(angle), s = std::sin(angle), t = 1.0f - c;
    return {{{t * k.x * k.x + c, t * k.x * k.y + s * k.z, t * k.x * k.z - s * k.y, 0},
             {t * k.x * k.y - s * k.z, t * k.y * k.y + c, t * k.y * k.z + s * k.x, 0},
             {t * k.x * k.z + s * k.y, t * k.y * k.z - s * k.x, t * k.z * k.z + c, 0},
             {0, 0, 0, 1}}};
}

// The point v (w = 1) transformed by m, divided by the resulting w.
// Translation by (x, y, z): the fourth row, for row vectors.
constexpr Matrix translation(float x, float y, float z) {
    return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {x, y, z, 1}}};
}

// Rotations about the axes by `angle` radians, clockwise looking along the
// axis towards the origin (left-handed).
inline Matrix rotationX(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {{{1, 0, 0, 0}, {0, c, s, 0}, {0, -s, c, 0}, {0, 0, 0, 1}}};
}
inline Matrix rotationY(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {{{c, 0, -s, 0}, {0, 1, 0, 0}, {s, 0, c, 0}, {0, 0, 0, 1}}};
}
inline Matrix rotationZ(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return {{{c, s, 0, 0}, {-s, c, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

inline Vector3 transformCoord(Vector3 v, const Matrix& m) {
    const float x = v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0];
    const float y = v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1];
    const float z = v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2];
    const float w = v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + m.m[3][3];
    const float inv = w != 0.0f ? 1.0f / w : 1.0f;
    return {x * inv, y * inv, z * inv};
}

}  // namespace krovane::gfx
