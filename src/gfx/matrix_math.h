// Matrix arithmetic in the engine's convention: 4 x 4 floats, row-major, for
// row vectors (p' = p * M), so a product a * b applies a first.
#pragma once

#include "gfx/device_types.h"

namespace krovane::gfx {

inline constexpr Matrix kIdentityMatrix = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};

constexpr Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            for (int k = 0; k < 4; ++k) r.m[i][j] += a.m[i][k] * b.m[k][j];
    return r;
}

}  // namespace krovane::gfx
