// The OpenGL device drawing for real, offscreen, checked pixel by pixel:
// clearing, screen-pixel and world geometry, lighting, fill modes, lines,
// textures and multisampling.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/geometry.h"
#include "gfx/gl_device.h"
#include "gfx/gl_fixture.h"
#include "gfx/texture.h"
#include "platform/window.h"
#include "gfx/line_drawing.h"

namespace {

using namespace krovane::gfx;
using krovane::platform::Window;
using namespace krovane::test;

TEST_F(GlDevice, ClearsToTheColourAndPresents) {
    OPEN_OR_SKIP();
    clear(0xFF6482AA);
    EXPECT_EQ(at(frame(), 0, 0), 0x6482AAu);
    EXPECT_EQ(at(frame(), kWidth - 1, kHeight - 1), 0x6482AAu);
    EXPECT_EQ(device->Present(), kOk);
}

TEST_F(GlDevice, ScreenPixelTrianglesLandWhereTheyAreSaid) {
    OPEN_OR_SKIP();
    clear(0xFF000000);
    ASSERT_EQ(device->BeginScene(), kOk);
    device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
    // A quad over x 10..30, y 5..25 as a strip, in red.
    const ScreenVertex quad[4] = {
        {10, 25, 0, 1, 0xFFFF0000}, {10, 5, 0, 1, 0xFFFF0000}, {30, 25, 0, 1, 0xFFFF0000}, {30, 5, 0, 1, 0xFFFF0000}};
    ASSERT_EQ(device->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad, sizeof(ScreenVertex)), kOk);
    device->EndScene();
    const auto f = frame();
    EXPECT_EQ(at(f, 20, 15), 0xFF0000u);
    EXPECT_EQ(at(f, 5, 15), 0x000000u);   // left of it
    EXPECT_EQ(at(f, 20, 30), 0x000000u);  // below it
}

TEST_F(GlDevice, LitSurfacesShowEmissivePlusAmbientUnlitTheirVertexColour) {
    OPEN_OR_SKIP();
    clear(0xFF000000);
    device->BeginScene();
    device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
    // A triangle covering the middle of the view, identity transforms: clip space directly.
    const MeshVertex tri[3] = {
        {-0.9f, -0.9f, 0.5f, 0, 0, -1, 0, 0}, {0.0f, 0.9f, 0.5f, 0, 0, -1, 0, 0}, {0.9f, -0.9f, 0.5f, 0, 0, -1, 0, 0}};
    Material m{};
    m.emissive = {0.0f, 0.0f, 0.5f, 1.0f};
    m.ambient = {1.0f, 0.0f, 0.0f, 1.0f};
    m.diffuse = {1, 1, 1, 1};
    device->SetMaterial(&m);
    device->SetRenderState(RenderState::Lighting, 1);
    device->SetRenderState(RenderState::Ambient, 0xFF808080);  // half grey
    ASSERT_EQ(device->DrawPrimitiveUP(PrimitiveType::TriangleList, 1, tri, sizeof(MeshVertex)), kOk);
    auto f = frame();
    const std::uint32_t lit = at(f, kWidth / 2, kHeight / 2);
    EXPECT_NEAR(static_cast<int>(lit >> 16), 128, 2);  // ambient red times half grey
    EXPECT_EQ((lit >> 8) & 0xFF, 0u);
    EXPECT_NEAR(static_cast<int>(lit & 0xFF), 128, 2);  // emissive blue
    device->SetRenderState(RenderState::Lighting, 0);
    device->DrawPrimitiveUP(PrimitiveType::TriangleList, 1, tri, sizeof(MeshVertex));
    device->EndScene();
    f = frame();
    EXPECT_EQ(at(f, kWidth / 2, kHeight / 2), 0xFFFFFFu);  // no colour in the format: white
}

TEST_F(GlDevice, WireframeDrawsEdgesOnly) {
    OPEN_OR_SKIP();
    const ScreenVertex quad[4] = {
        {8, 40, 0, 1, 0xFF00FF00}, {8, 8, 0, 1, 0xFF00FF00}, {56, 40, 0, 1, 0xFF00FF00}, {56, 8, 0, 1, 0xFF00FF00}};
    auto draw = [&](std::uint32_t fill) {
        clear(0xFF000000);
        device->BeginScene();
        device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
        device->SetRenderState(RenderState::FillMode, fill);
        device->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, quad, sizeof(ScreenVertex));
        device->EndScene();
        return frame();
    };
    auto solid = draw(kFillSolid);
    EXPECT_EQ(at(solid, 20, 30), 0x00FF00u);
    auto wire = draw(kFillWireframe);
    EXPECT_EQ(at(wire, 20, 30), 0x000000u);  // inside, off the diagonal
    EXPECT_EQ(at(wire, 8, 24), 0x00FF00u);   // on the left edge
}

TEST_F(GlDevice, LinesInScreenPixelsAndInWorldSpaceTakeTheTextureColour) {
    OPEN_OR_SKIP();
    clear(0xFF000000);
    device->BeginScene();
    device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
    ASSERT_EQ(DrawLine(0, 10, 0, 63, 10, 0, device.get()), kOk);  // white without a texture
    const std::uint32_t yellow[4] = {0xFFFFFF00, 0xFFFFFF00, 0xFFFFFF00, 0xFFFFFF00};
    Ref<Texture> texture;
    ASSERT_EQ(device->CreateTexture(2, 2, yellow, &texture), kOk);
    device->SetTexture(0, texture.get());
    device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
    // A vertical line through the middle of pixel column 48 (clip x 0.515625).
    ASSERT_EQ(DrawLine(0.515625f, -1, 0.5f, 0.515625f, 1, 0.5f, device.get()), kOk);
    device->EndScene();
    const auto f = frame();
    EXPECT_EQ(at(f, 32, 10), 0xFFFFFFu);
    EXPECT_EQ(at(f, 32, 11), 0x000000u);
    EXPECT_EQ(at(f, 48, 30), 0xFFFF00u);
    device->SetTexture(0, nullptr);
    texture.reset();
}

TEST_F(GlDevice, TexturesWithTheirOwnMipLevelsAreComplete) {
    OPEN_OR_SKIP();
    // 4 x 4 and 2 x 2 levels only (a full chain would go down to 1 x 1): still
    // a complete texture, so it samples its colour rather than black.
    std::vector<std::uint32_t> pixels(16 + 4, 0xFF00FFFF);
    Ref<Texture> texture;
    ASSERT_EQ(device->CreateTexture(4, 4, pixels.data(), &texture, 2), kOk);
    ASSERT_EQ(device->CreateTexture(4, 4, pixels.data(), &texture, 4), kInvalidCall);  // longer than halving allows
    clear(0xFF000000);
    device->BeginScene();
    device->SetTexture(0, texture.get());
    device->SetSamplerState(0, SamplerState::MinFilter, kFilterLinear);
    device->SetSamplerState(0, SamplerState::MipFilter, kFilterLinear);
    device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
    DrawLine(0, 20, 0, 63, 20, 0, device.get());
    device->EndScene();
    EXPECT_EQ(at(frame(), 30, 20), 0x00FFFFu);
    device->SetTexture(0, nullptr);
    texture.reset();
}

TEST_F(GlDevice, DepthRunsFromZeroToOne) {
    OPEN_OR_SKIP();
    clear(0xFF000000);
    device->BeginScene();
    device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
    auto quad = [&](float z, std::uint32_t color) {
        const ScreenVertex v[4] = {
            {0, 48, z, 1, color}, {0, 0, z, 1, color}, {64, 48, z, 1, color}, {64, 0, z, 1, color}};
        device->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, v, sizeof(ScreenVertex));
    };
    quad(0.2f, 0xFF0000FF);  // near, blue
    quad(0.6f, 0xFFFF0000);  // farther: hidden by the depth test
    quad(0.0f, 0xFF00FF00);  // depth 0 is still in view, in front
    device->EndScene();
    EXPECT_EQ(at(frame(), 32, 24), 0x00FF00u);
}

TEST_F(GlDevice, MultisamplingSoftensEdgesAndImpossibleTypesFail) {
    auto edgeShades = [&](std::uint32_t type) {
        if (!open(type)) return -1;
        clear(0xFF000000);
        device->BeginScene();
        device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
        const ScreenVertex tri[3] = {{0, 0, 0, 1, 0xFFFFFFFF}, {64, 0, 0, 1, 0xFFFFFFFF}, {0, 48, 0, 1, 0xFFFFFFFF}};
        device->DrawPrimitiveUP(PrimitiveType::TriangleList, 1, tri, sizeof(ScreenVertex));
        device->EndScene();
        int partial = 0;
        for (std::uint32_t p : frame())
            if ((p & 0xFF) != 0 && (p & 0xFF) != 0xFF) ++partial;
        device.reset();
        device = nullptr;
        window.reset();
        return partial;
    };
    const int plain = edgeShades(0);
    if (plain < 0) GTEST_SKIP() << "no OpenGL device here: " << reason;
    EXPECT_EQ(plain, 0);
    EXPECT_GT(edgeShades(4), 10);

    std::string error;
    window = Window::create("test", kWidth, kHeight, true, error);
    ASSERT_TRUE(window);
    EXPECT_EQ(createGlDevice(*window, 64, &device, error), kNotAvailable);
    EXPECT_EQ(device, nullptr);
    EXPECT_NE(error.find("multisample type 64 is not available"), std::string::npos) << error;
}

}  // namespace
