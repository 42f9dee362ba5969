#include "gfx/mip_chain.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace krovane::gfx {

namespace {

std::uint32_t channel(std::uint32_t texel, int shift) { return (texel >> shift) & 0xFF; }

// One level from the level above: `src` is sw x sh, the result dw x dh.
void halve(const std::uint32_t* src, std::uint32_t sw, std::uint32_t sh, std::uint32_t* dst, std::uint32_t dw,
           std::uint32_t dh) {
    if (sw == dw * 2 && sh == dh * 2) {
        // Even sides: the mean of each 2 x 2 block, rounded.
        for (std::uint32_t y = 0; y < dh; ++y) {
            const std::uint32_t* a = src + std::size_t{y} * 2 * sw;
            const std::uint32_t* b = a + sw;
            for (std::uint32_t x = 0; x < dw; ++x) {
                std::uint32_t out = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    const std::uint32_t sum = channel(a[2 * x], shift) + channel(a[2 * x + 1], shift) +
                                              channel(b[2 * x], shift) + channel(b[2 * x + 1], shift);
                    out |= ((sum + 2) / 4) << shift;
                }
                dst[std::size_t{y} * dw + x] = out;
            }
        }
        return;
    }
    // Odd or unequal steps (a side already at 1): bilinear at each texel's centre.
    const auto sample = [](std::uint32_t d, std::uint32_t s, std::uint32_t i, std::uint32_t& i0, std::uint32_t& i1,
                           float& t) {
        const float at =
            std::clamp((static_cast<float>(i) + 0.5f) * static_cast<float>(s) / static_cast<float>(d) - 0.5f, 0.0f,
                       static_cast<float>(s - 1));
        i0 = static_cast<std::uint32_t>(at);
        i1 = std::min(i0 + 1, s - 1);
        t = at - static_cast<float>(i0);
    };
    for (std::uint32_t y = 0; y < dh; ++y) {
        std::uint32_t y0, y1;
        float ty;
        sample(dh, sh, y, y0, y1, ty);
        for (std::uint32_t x = 0; x < dw; ++x) {
            std::uint32_t x0, x1;
            float tx;
            sample(dw, sw, x, x0, x1, tx);
            const std::uint32_t p00 = src[std::size_t{y0} * sw + x0], p01 = src[std::size_t{y0} * sw + x1];
            const std::uint32_t p10 = src[std::size_t{y1} * sw + x0], p11 = src[std::size_t{y1} * sw + x1];
            std::uint32_t out = 0;
            for (int shift = 0; shift < 32; shift += 8) {
                const float top =
                    static_cast<float>(channel(p00, shift)) * (1 - tx) + static_cast<float>(channel(p01, shift)) * tx;
                const float bottom =
                    static_cast<float>(channel(p10, shift)) * (1 - tx) + static_cast<float>(channel(p11, shift)) * tx;
                out |= static_cast<std::uint32_t>(std::lround(top * (1 - ty) + bottom * ty)) << shift;
            }
            dst[std::size_t{y} * dw + x] = out;
        }
    }
}

}  // namespace

std::vector<std::uint32_t> makeMipChain(std::uint32_t width, std::uint32_t height, const std::uint32_t* pixels,
                                        std::uint32_t& levels) {
    std::size_t total = 0;
    levels = 0;
    for (std::uint32_t w = width, h = height;; w = std::max(w / 2, 1u), h = std::max(h / 2, 1u)) {
        total += std::size_t{w} * h;
        ++levels;
        if (w == 1 && h == 1) break;
    }
    std::vector<std::uint32_t> chain(total);
    std::memcpy(chain.data(), pixels, std::size_t{width} * height * sizeof(std::uint32_t));
    std::uint32_t* level = chain.data();
    for (std::uint32_t w = width, h = height; w > 1 || h > 1;) {
        const std::uint32_t dw = std::max(w / 2, 1u), dh = std::max(h / 2, 1u);
        std::uint32_t* next = level + std::size_t{w} * h;
        halve(level, w, h, next, dw, dh);
        level = next;
        w = dw;
        h = dh;
    }
    return chain;
}

}  // namespace krovane::gfx
