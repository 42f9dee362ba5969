// GlDevice: the fixture of the OpenGL tests: a hidden 64 x 48 window with a
// device on it, skipped where no OpenGL 3.3 can be had, and pixel read-back.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
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

    bool open(std::uint32_t multisampleType = 0) {
        std::string error;
        window = Window::create("test", kWidth, kHeight, true, error);
        if (!window) {
            reason = error;
            return false;
        }
        const Result r = createGlDevice(*window, multisampleType, &device, error);
        reason = error;
        return !failed(r);
    }
    void TearDown() override {
        if (device) device.reset();
        window.reset();
    }
    std::vector<std::uint32_t> frame() {
        std::vector<std::uint32_t> pixels;
        std::uint32_t w = 0, h = 0;
        EXPECT_EQ(device->ReadPixels(pixels, w, h), kOk);
        EXPECT_EQ(w, static_cast<std::uint32_t>(kWidth));
        EXPECT_EQ(h, static_cast<std::uint32_t>(kHeight));
        return pixels;
    }
    static std::uint32_t at(const std::vector<std::uint32_t>& f, int x, int y) { return f[y * kWidth + x] & 0xFFFFFF; }
    void clear(std::uint32_t color) {
        ASSERT_EQ(device->Clear(0, nullptr, kClearTarget | kClearZBuffer, color, 1.0f, 0), kOk);
    }
    std::string reason;
};

#define OPEN_OR_SKIP(...) \
    if (!open(__VA_ARGS__)) GTEST_SKIP() << "no OpenGL device here: " << reason

}  // namespace krovane::test
