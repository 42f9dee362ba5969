// GlDevice: the fixture of the OpenGL tests: a hidden 64 x 48 window with a device on it, skipped where no OpenGL 3.3
// can be had, and pixel read-back checked over whole areas within a tolerance (edge pixels vary by driver).
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "gfx/gl_device.h"
#include "platform/window.h"

namespace krovane::test {

using namespace krovane::gfx;
using krovane::platform::Window;

constexpr int kWidth = 64, kHeight = 48;

struct ScreenVertex {
    float x, y, z, rhw;
    std::uint32_t color;
};
struct MeshVertex {
    float x, y, z, nx, ny, nz, u, v;
};

class GlDevice : public ::testing::Test {
protected:
    std::unique_ptr<Window> window;
    Ref<Device> device;
    std::string reason;

    bool open(std::uint32_t multisampleType = 0) {
        window = Window::create("test", kWidth, kHeight, true, reason);
        return window && !failed(createGlDevice(*window, multisampleType, &device, reason));
    }
    void TearDown() override {
        device.reset();
        window.reset();
    }
    std::vector<std::uint32_t> frame() {
        std::vector<std::uint32_t> pixels;
        std::uint32_t w = 0, h = 0;
        EXPECT_EQ(device->ReadPixels(pixels, w, h), kOk);
        EXPECT_EQ(w * h, static_cast<std::uint32_t>(kWidth * kHeight));
        return pixels;
    }
    static std::uint32_t at(const std::vector<std::uint32_t>& f, int x, int y) { return f[y * kWidth + x] & 0xFFFFFF; }
    // Every pixel of [left, right) x [top, bottom) is `rgb` within `tolerance` in each channel.
    static void expectArea(const std::vector<std::uint32_t>& f, int left, int top, int right, int bottom,
                           std::uint32_t rgb, int tolerance = 0) {
        for (int y = top; y < bottom; ++y)
            for (int x = left; x < right; ++x)
                for (int shift : {0, 8, 16})
                    if (std::abs(static_cast<int>((at(f, x, y) >> shift & 0xFF) - (rgb >> shift & 0xFF))) > tolerance)
                        return ADD_FAILURE() << std::hex << at(f, x, y) << " at " << std::dec << x << "," << y;
    }
    void clear(std::uint32_t color) {
        ASSERT_EQ(device->Clear(0, nullptr, kClearTarget | kClearZBuffer, color, 1.0f, 0), kOk);
    }
    // A screen-pixel rectangle of one colour, drawn as a strip.
    Result quad(float left, float top, float right, float bottom, std::uint32_t color, float z = 0) {
        const ScreenVertex v[4] = {{left, bottom, z, 1, color}, {left, top, z, 1, color},
                                   {right, bottom, z, 1, color}, {right, top, z, 1, color}};
        device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
        return device->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, v, sizeof(ScreenVertex));
    }
};

#define OPEN_OR_SKIP(...) \
    if (!open(__VA_ARGS__)) GTEST_SKIP() << "no OpenGL device here: " << reason

}  // namespace krovane::test
