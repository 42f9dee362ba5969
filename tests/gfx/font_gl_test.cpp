// Text on the OpenGL device, offscreen: Cyrillic glyphs come out in the
// colour asked for, texel for texel, only where the text goes, and the
// device draws as before afterwards.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/font.h"
#include "gfx/gl_device.h"
#include "platform/code_page_1251.h"
#include "platform/window.h"

namespace {

using namespace krovane::gfx;
using krovane::platform::Window;

constexpr int kWidth = 96, kHeight = 64;
constexpr auto kHello = krovane::cp1251("Привет");

class GlFont : public ::testing::Test {
protected:
    std::unique_ptr<Window> window;
    Ref<Device> device;
    Ref<Font> font;
    std::string reason;

    bool open() {
        window = Window::create("test", kWidth, kHeight, true, reason);
        if (!window || failed(createGlDevice(*window, 0, &device, reason))) return false;
        return !failed(CreateFontA(device.get(), -14, 0, 400, 1, false, 204, 0, 0, 0, "Arial", &font));
    }
    void TearDown() override {
        if (font) font.reset();
        if (device) device.reset();
        window.reset();
    }
    // Clears to black, draws the text, and returns the frame's RGB.
    std::vector<std::uint32_t> drawn(Rect rect, std::uint32_t format, std::uint32_t color) {
        device->Clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF000000, 1.0f, 0);
        device->BeginScene();
        EXPECT_EQ(font->DrawTextA(nullptr, kHello.c_str(), -1, &rect, format, color), font->height());
        device->EndScene();
        std::vector<std::uint32_t> pixels;
        std::uint32_t w = 0, h = 0;
        EXPECT_EQ(device->ReadPixels(pixels, w, h), kOk);
        EXPECT_EQ(w * h, static_cast<std::uint32_t>(kWidth * kHeight));
        for (std::uint32_t& p : pixels) p &= 0xFFFFFF;
        return pixels;
    }
};

#define OPEN_OR_SKIP() \
    if (!open()) GTEST_SKIP() << "no OpenGL device here: " << reason

TEST_F(GlFont, CyrillicTextIsDrawnInItsColourOnlyWhereItGoes) {
    OPEN_OR_SKIP();
    Rect size{0, 0, 0, 0};
    font->DrawTextA(nullptr, kHello.c_str(), -1, &size, kDtCalcRect, 0);
    ASSERT_GT(size.right, 20);
    ASSERT_LT(size.right, kWidth - 10);

    const int left = 5, top = 6;
    const auto f = drawn({left, top, 0, 0}, kDtNoClip, 0xFF00FF00);
    int lit = 0, full = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            const std::uint32_t p = f[y * kWidth + x];
            if (p == 0) continue;
            ++lit;
            full += p == 0x00FF00;
            EXPECT_EQ(p & 0xFF00FF, 0u) << x << "," << y;  // only the colour asked for, faded by coverage
            EXPECT_TRUE(x >= left - 1 && x <= left + size.right && y >= top && y < top + font->height())
                << "stray pixel at " << x << "," << y;
        }
    EXPECT_GT(lit, 60);
    EXPECT_GT(full, 20);  // stems are covered fully

    // The same text one line lower is the same pixels one line lower: glyphs land on whole pixels.
    const auto lower = drawn({left, top + 20, 0, 0}, kDtNoClip, 0xFF00FF00);
    for (int y = 0; y + 20 < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) ASSERT_EQ(lower[(y + 20) * kWidth + x], f[y * kWidth + x]) << x << "," << y;
}

TEST_F(GlFont, ClippedTextStopsAtTheRectAndStatesStayUsable) {
    OPEN_OR_SKIP();
    const Rect clip{5, 6, 20, 14};
    const auto f = drawn(clip, 0, 0xFFFF0000);
    int inside = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            if (f[y * kWidth + x] == 0) continue;
            EXPECT_TRUE(x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom) << x << "," << y;
            ++inside;
        }
    EXPECT_GT(inside, 5);

    // An untextured screen triangle after the text is drawn as if no text had been.
    struct ScreenVertex {
        float x, y, z, rhw;
        std::uint32_t color;
    };
    const ScreenVertex quad[4] = {
        {60, 40, 0, 1, 0xFF0000FF}, {60, 30, 0, 1, 0xFF0000FF}, {80, 40, 0, 1, 0xFF0000FF}, {80, 30, 0, 1, 0xFF0000FF}};
    device->BeginScene();
    device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
    ASSERT_EQ(device->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad, sizeof(ScreenVertex)), kOk);
    device->EndScene();
    std::vector<std::uint32_t> pixels;
    std::uint32_t w = 0, h = 0;
    ASSERT_EQ(device->ReadPixels(pixels, w, h), kOk);
    EXPECT_EQ(pixels[35 * kWidth + 70] & 0xFFFFFF, 0x0000FFu);
}

}  // namespace
