// The OpenGL device drawing for real, offscreen: geometry, depth, lighting, fill modes, lines, textures,
// multisampling, cached state, effects (material and texture, compiler errors, the shipped Phong effect's parameters
// and culling) and Cyrillic text.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "gfx/effect.h"
#include "gfx/font.h"
#include "gfx/geometry.h"
#include "gfx/gl_fixture.h"
#include "gfx/line_drawing.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"
#include "platform/code_page_1251.h"
#include "platform/file_io.h"
#include "temp_dir.h"

namespace {

using namespace krovane::test;

// A triangle facing the viewer (-z) over the middle of clip space; the area [28, 36) x [22, 28) lies well inside it.
const MeshVertex kTriangle[3] = {
    {-0.6f, -0.6f, 0.5f, 0, 0, -1, 0, 0}, {0.0f, 0.6f, 0.5f, 0, 0, -1, 0, 0}, {0.6f, -0.6f, 0.5f, 0, 0, -1, 0, 0}};

class Gl : public GlDevice {
protected:
    // The effect in `text`, or the shipped Phong effect.
    Ref<Effect> make(const char* text, std::string& error) {
        if (text) krovane::platform::writeFileAtomically("e.fx", text);
        Ref<Effect> effect;
        testing::internal::CaptureStderr();
        CreateEffectFromFileA(device.get(), text ? "e.fx" : KROVANE_DEMO_DIR "/fx/vek_Phong.fx", &effect, &error);
        stderrText = testing::internal::GetCapturedStderr();
        return effect;
    }
    // Starts a scene on black with a material of `diffuse` for mesh vertices.
    void begin(ColorValue diffuse = {1, 1, 1, 1}) {
        clear(0xFF000000);
        device->BeginScene();
        device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
        Material m{};
        m.diffuse = diffuse;
        device->SetMaterial(&m);
    }
    // Draws the triangle, through every pass of the effect's technique when there is one.
    void draw(Effect* effect = nullptr, const MeshVertex* triangle = kTriangle) {
        std::uint32_t passes = 1;
        if (effect) effect->Begin(&passes, 0);
        for (std::uint32_t p = 0; p < passes; ++p) {
            if (effect) effect->BeginPass(p);
            EXPECT_EQ(device->DrawPrimitiveUP(PrimitiveType::TriangleList, 1, triangle, sizeof(MeshVertex)), kOk);
            if (effect) effect->EndPass();
        }
        if (effect) effect->End();
    }
    TempDir dir;
    std::string stderrText;
};

TEST_F(Gl, ScreenQuadsLandWhereSaidDepthRunsFromZeroToOneAndCachedStateFollowsEveryChange) {
    OPEN_OR_SKIP();
    clear(0xFF6482AA);
    expectArea(frame(), 0, 0, kWidth, kHeight, 0x6482AA);
    clear(0xFF000000);
    ASSERT_EQ(device->BeginScene(), kOk);
    ASSERT_EQ(quad(10, 5, 30, 25, 0xFFFF0000), kOk);
    const auto f = frame();
    expectArea(f, 11, 6, 29, 24, 0xFF0000);
    expectArea(f, 0, 0, 9, kHeight, 0);        // left of it
    expectArea(f, 0, 26, kWidth, kHeight, 0);  // below it
    quad(0, 0, 64, 48, 0xFF0000FF, 0.2f);     // near, blue
    quad(0, 0, 64, 48, 0xFFFF0000, 0.6f);     // farther: hidden by the depth test
    quad(0, 0, 64, 48, 0xFF00FF00, 0.0f);     // depth 0 is still in view, in front
    device->EndScene();
    expectArea(frame(), 1, 1, kWidth - 1, kHeight - 1, 0x00FF00);  // the outer ring is an edge
    EXPECT_EQ(device->Present(), kOk);

    // The device's cache of GL state follows every change: a released buffer's successor is drawn from, and blending
    // set, cleared and set again applies.
    clear(0xFF000000);
    device->BeginScene();
    device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
    for (const std::uint32_t color : {0xFFFF0000u, 0xFF00FF00u}) {
        Ref<VertexBuffer> vb;
        ASSERT_EQ(device->CreateVertexBuffer(4 * sizeof(ScreenVertex), 0, kFvfXyzRhw | kFvfDiffuse, 0, &vb), kOk);
        void* data = nullptr;
        ASSERT_EQ(vb->Lock(0, 0, &data, 0), kOk);
        const ScreenVertex v[4] = {{0, 48, 0, 1, color}, {0, 0, 0, 1, color}, {64, 48, 0, 1, color}, {64, 0, 0, 1, color}};
        std::memcpy(data, v, sizeof v);
        vb->Unlock();
        device->SetStreamSource(0, vb.get(), 0, sizeof(ScreenVertex));
        ASSERT_EQ(device->DrawPrimitive(PrimitiveType::TriangleStrip, 0, 2), kOk);
        expectArea(frame(), 1, 1, kWidth - 1, kHeight - 1, color & 0xFFFFFF);
    }
    device->SetRenderState(RenderState::SrcBlend, 2);  // one plus one: adds
    device->SetRenderState(RenderState::DestBlend, 2);
    for (const std::uint32_t blend : {1u, 0u, 1u}) {
        device->SetRenderState(RenderState::AlphaBlendEnable, blend);
        quad(0, 0, 64, 48, 0xFF400000);
    }
    device->EndScene();
    expectArea(frame(), 1, 1, kWidth - 1, kHeight - 1, 0x800000, 2);
}

// Depth 0 to 1 on both paths: glClipControl, and the shader's mapping drivers without it take. Broken, the
// mapping shows what lies in front of depth 0 or hides what lies at it.
TEST_F(Gl, DepthRunsFromZeroToOneWithoutClipControlToo) {
    for (const char* noClipControl : {"0", "1"}) {
        ::setenv("KROVANE_GL_NO_CLIP_CONTROL", noClipControl, 1);
        const bool opened = open();
        ::unsetenv("KROVANE_GL_NO_CLIP_CONTROL");
        if (!opened) GTEST_SKIP() << "no OpenGL device here: " << reason;
        clear(0xFF000000);
        device->BeginScene();
        quad(0, 0, 64, 48, 0xFF0000FF, 0.6f);   // far, blue
        quad(0, 0, 32, 48, 0xFFFF0000, 0.2f);   // nearer, red, on the left half
        quad(0, 0, 64, 24, 0xFFFFFFFF, -0.1f);  // in front of depth 0: clipped
        quad(32, 0, 64, 48, 0xFF00FF00, 0.0f);  // at depth 0, green, on the right half
        device->EndScene();
        const auto f = frame();
        expectArea(f, 1, 1, 31, kHeight - 1, 0xFF0000);
        expectArea(f, 33, 1, kWidth - 1, kHeight - 1, 0x00FF00);
        TearDown();
    }
}

TEST_F(Gl, LightingFillModesLinesAndPartialMipChains) {
    OPEN_OR_SKIP();
    begin();
    Material m{};
    m.emissive = {0.0f, 0.0f, 0.5f, 1.0f};
    m.ambient = {1.0f, 0.0f, 0.0f, 1.0f};
    device->SetMaterial(&m);
    device->SetRenderState(RenderState::Lighting, 1);
    device->SetRenderState(RenderState::Ambient, 0xFF808080);  // half grey
    draw();
    expectArea(frame(), 28, 22, 36, 28, 0x800080, 2);  // ambient red times half grey, emissive blue
    device->SetRenderState(RenderState::Lighting, 0);
    draw();  // no colour in the format: white
    expectArea(frame(), 28, 22, 36, 28, 0xFFFFFF);

    // Wireframe: the inside off the diagonal stays dark, the left edge is drawn within a pixel.
    clear(0xFF000000);
    device->SetRenderState(RenderState::FillMode, kFillWireframe);
    quad(8, 8, 56, 40, 0xFF00FF00);
    auto f = frame();
    expectArea(f, 12, 26, 24, 36, 0);
    for (int y = 12; y < 36; ++y) EXPECT_TRUE(at(f, 7, y) | at(f, 8, y) | at(f, 9, y)) << y;

    // Lines: white in screen pixels without a texture; in world space the colour of a texture with its own two levels
    // only (complete, so not black).
    clear(0xFF000000);
    device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
    ASSERT_EQ(DrawLine(0, 10, 0, 63, 10, 0, device.get()), kOk);  // through the centres of row 10
    const std::vector<std::uint32_t> pixels(16 + 4, 0xFFFFFF00);
    Ref<Texture> texture;
    ASSERT_EQ(device->CreateTexture(4, 4, pixels.data(), &texture, 2), kOk);
    device->SetTexture(0, texture.get());
    device->SetSamplerState(0, SamplerState::MinFilter, kFilterLinear);
    device->SetSamplerState(0, SamplerState::MipFilter, kFilterLinear);
    device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
    ASSERT_EQ(DrawLine(0.515625f, -1, 0.5f, 0.515625f, 1, 0.5f, device.get()), kOk);  // the middle of column 48
    device->EndScene();
    f = frame();
    expectArea(f, 2, 10, 46, 11, 0xFFFFFF);
    expectArea(f, 2, 12, 46, 40, 0);
    expectArea(f, 48, 14, 49, 44, 0xFFFF00);
}

// Texture rows alternating black and white, seen so squeezed across (8 texels a pixel) and not along (one row a
// pixel) that trilinear filtering takes a mip level where they are grey, and anisotropic filtering keeps the rows.
TEST_F(Gl, AnisotropicFiltersUseTheSamplersAnisotropyAndOneIsTrilinear) {
    OPEN_OR_SKIP();
    std::vector<std::uint32_t> rows(64 * 64);
    for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = (i / 64) % 2 ? 0xFFFFFFFF : 0xFF000000;
    Ref<Texture> texture;
    ASSERT_EQ(device->CreateTexture(64, 64, rows.data(), &texture), kOk);
    struct TexturedVertex {
        float x, y, z, rhw;
        std::uint32_t color;
        float u, v;  // 28 bytes, as the line vertex: the layout comes from the format set, not the stride
    };
    // Pixel centres lie on whole coordinates: the quad's edges on the half ones put them on the texels' centres.
    const TexturedVertex v[4] = {{-0.5f, 47.5f, 0, 1, 0xFFFFFFFF, 0, 0.75f}, {-0.5f, -0.5f, 0, 1, 0xFFFFFFFF, 0, 0},
                                 {63.5f, 47.5f, 0, 1, 0xFFFFFFFF, 8, 0.75f}, {63.5f, -0.5f, 0, 1, 0xFFFFFFFF, 8, 0}};
    // The largest difference between neighbouring rows in the middle column.
    const auto contrast = [&](std::uint32_t filter, std::uint32_t anisotropy) {
        for (const SamplerState s : {SamplerState::MinFilter, SamplerState::MagFilter, SamplerState::MipFilter})
            device->SetSamplerState(0, s, filter);
        device->SetSamplerState(0, SamplerState::MaxAnisotropy, anisotropy);
        clear(0xFF000000);
        device->BeginScene();
        device->SetTexture(0, texture.get());
        device->SetFVF(kFvfXyzRhw | kFvfDiffuse | kFvfTex1);
        EXPECT_EQ(device->DrawPrimitiveUP(PrimitiveType::TriangleStrip, 2, v, sizeof(TexturedVertex)), kOk);
        device->EndScene();
        const auto f = frame();
        int most = 0;
        for (int y = 8; y < 40; ++y) most = std::max(most, std::abs(static_cast<int>(at(f, 32, y) & 0xFF) -
                                                                     static_cast<int>(at(f, 32, y + 1) & 0xFF)));
        return std::pair(f, most);
    };
    const auto [trilinear, flat] = contrast(kFilterLinear, 16);  // the anisotropy counts only for anisotropic filters
    const auto [anisotropicOne, flatToo] = contrast(kFilterAnisotropic, 1);
    EXPECT_EQ(anisotropicOne, trilinear);
    EXPECT_LT(flat, 16);
    EXPECT_GT(contrast(kFilterAnisotropic, 16).second, 32);  // Mesa's software renderer: 51
}

TEST_F(Gl, MultisamplingSoftensEdges) {
    const auto edgeShades = [&](std::uint32_t type) {
        if (!open(type)) return -1;
        clear(0xFF000000);
        device->BeginScene();
        const ScreenVertex tri[3] = {{0, 0, 0, 1, 0xFFFFFFFF}, {64, 0, 0, 1, 0xFFFFFFFF}, {0, 48, 0, 1, 0xFFFFFFFF}};
        device->SetFVF(kFvfXyzRhw | kFvfDiffuse);
        device->DrawPrimitiveUP(PrimitiveType::TriangleList, 1, tri, sizeof(ScreenVertex));
        device->EndScene();
        int partial = 0;
        for (std::uint32_t p : frame()) partial += (p & 0xFF) != 0 && (p & 0xFF) != 0xFF;
        TearDown();
        return partial;
    };
    const int plain = edgeShades(0);
    if (plain < 0) GTEST_SKIP() << "no OpenGL device here: " << reason;
    EXPECT_EQ(plain, 0);
    EXPECT_GT(edgeShades(4), 10);
}

// (That matrices are handed over for row vectors is the bundled level's reference picture's.)
TEST_F(Gl, EffectShadersSeeMaterialAndTextureAndErrorsNameLines) {
    OPEN_OR_SKIP();
    std::string error;
    Ref<Effect> effect = make(R"(
vertex VS { void main() { gl_Position = vec4(inPosition, 1.0); } }
fragment PS { out vec4 c; void main() { c = MaterialDiffuse * texture(Texture0, vec2(0.5)); } }
technique T { pass P { VertexShader = VS; PixelShader = PS; } })", error);
    ASSERT_NE(effect, nullptr) << error;
    Ref<Texture> blue;
    const std::uint32_t pixel = 0xFF0000FF;
    ASSERT_EQ(device->CreateTexture(1, 1, &pixel, &blue), kOk);
    begin({1, 0, 1, 1});  // magenta
    draw(effect.get());   // no texture: white, so the material shows as it is
    expectArea(frame(), 28, 22, 36, 28, 0xFF00FF);
    device->SetTexture(0, blue.get());
    draw(effect.get());  // magenta times blue
    device->EndScene();
    expectArea(frame(), 28, 22, 36, 28, 0x0000FF);

    // A mistake on each of the lines 6 to 11: the compiler's first five messages, at the effect file's lines.
    std::string broken = "uniform vec4 tint;\nvertex VS { void main() { gl_Position = vec4(inPosition, 1.0); } }\n"
                         "fragment PS {\n    out vec4 c;\n    void main() {\n";
    for (int line = 6; line <= 11; ++line) broken += "        c = tint * undeclared" + std::to_string(line) + ";\n";
    EXPECT_EQ(make((broken + "}\n}\ntechnique T { pass P { VertexShader = VS; PixelShader = PS; } }\n").c_str(), error),
              nullptr);
    EXPECT_EQ(error.rfind("e.fx(6): ", 0), 0u) << error;  // drivers word it each their own way
    EXPECT_LT(error.find("undeclared6"), error.find('\n')) << error;
    EXPECT_EQ(std::count(error.begin(), error.end(), '\n'), 4) << error;
    EXPECT_EQ(stderrText, "");  // the caller says it
}

// The shipped effect takes the parameters the engine sets and both its techniques cull counter-clockwise faces;
// fixed-function draws cull as the mode says, nothing with the start value. (That its further-light pass adds to the
// first is checked through objects, in the scene's tests.)
TEST_F(Gl, CullingFollowsTheModeAndTheShippedEffectCullsCounterClockwiseFaces) {
    OPEN_OR_SKIP();
    std::string error;
    Ref<Effect> effect = make(nullptr, error);
    ASSERT_NE(effect, nullptr) << error;
    const Vector4 light{0, 0, -1, 1}, white{1, 1, 1, 1};  // a white light in front of the triangle
    for (const char* name : {"View_Pos", "LightPos"}) EXPECT_EQ(effect->SetVector(name, &light), kOk) << name;
    EXPECT_EQ(effect->SetVector("LightColor", &white), kOk);
    for (const char* name : {"mat_World_View_Proj", "matWorld"}) EXPECT_EQ(effect->SetMatrix(name, &kIdentityMatrix), kOk);
    for (const char* name : {"LightFalloff", "LightSpecular", "LightSpecular_Itens", "LightAmbient", "Attenuation"})
        EXPECT_EQ(effect->SetFloat(name, 1.0f), kOk) << name;
    effect->SetFloat("LightFalloff", 100.0f);
    const MeshVertex counterClockwise[3] = {kTriangle[0], kTriangle[2], kTriangle[1]};
    const struct {
        const char* technique;  // none: fixed function
        std::uint32_t mode;
        bool clockwiseDrawn, counterClockwiseDrawn;
    } cases[] = {{"vek_Phong", kCullForceDword, true, false}, {"vek_Phong_alpha", kCullForceDword, true, false},
                 {nullptr, kCullForceDword, true, true}, {nullptr, kCullNone, true, true},
                 {nullptr, kCullClockwise, false, true}, {nullptr, kCullCounterClockwise, true, false}};
    for (const auto& c : cases)
        for (const bool clockwise : {true, false}) {
            begin();
            device->SetRenderState(RenderState::CullMode, c.mode);
            device->SetRenderState(RenderState::Lighting, 0);
            EXPECT_TRUE(!c.technique || effect->SetTechnique(c.technique) == kOk);
            draw(c.technique ? effect.get() : nullptr, clockwise ? kTriangle : counterClockwise);
            device->EndScene();
            EXPECT_EQ(at(frame(), kWidth / 2, kHeight / 2) != 0, clockwise ? c.clockwiseDrawn : c.counterClockwiseDrawn)
                << c.mode << " " << (c.technique ? c.technique : "") << (clockwise ? ", clockwise" : "");
            EXPECT_EQ(device->renderState(RenderState::CullMode), c.mode);
        }
}

// Cyrillic text comes out in the colour asked for, only inside its measured rect, on whole pixels. (Clipping at a
// rect is the font test's.)
TEST_F(Gl, TextIsDrawnInItsColourOnlyWhereItGoes) {
    OPEN_OR_SKIP();
    Ref<Font> font;
    ASSERT_EQ(CreateFontA(device.get(), -12, 0, 400, 1, false, 204, 0, 0, 0, "Arial", &font), kOk);
    const auto hello = krovane::cp1251("Привет");
    Rect size{0, 0, 0, 0};
    font->DrawTextA(nullptr, hello.c_str(), -1, &size, kDtCalcRect, 0);
    ASSERT_TRUE(size.right > 20 && size.right < kWidth - 4) << size.right;
    const auto drawn = [&](Rect rect) {  // in green
        clear(0xFF000000);
        device->BeginScene();
        EXPECT_EQ(font->DrawTextA(nullptr, hello.c_str(), -1, &rect, kDtNoClip, 0xFF00FF00), font->height());
        device->EndScene();
        auto f = frame();
        for (auto& p : f) p &= 0xFFFFFF;
        return f;
    };
    // Only the colour asked for, faded, and only inside the measured rect; stems lit fully, so not faded everywhere.
    const auto f = drawn({2, 3, 0, 0});
    int lit = 0, full = 0;
    for (int i = 0; i < kWidth * kHeight; ++i) {
        const int x = i % kWidth, y = i / kWidth;
        lit += f[i] != 0;
        full += f[i] == 0x00FF00;
        EXPECT_TRUE(f[i] == 0 || ((f[i] & 0xFF00FF) == 0 && x >= 1 && x < 3 + size.right && y >= 3 &&
                                  y < 3 + font->height()))
            << std::hex << f[i] << std::dec << " at " << x << "," << y;
    }
    EXPECT_TRUE(lit > 60 && full > 0) << lit << " " << full;
    const auto lower = drawn({2, 23, 0, 0});
    EXPECT_TRUE(std::equal(f.begin(), f.end() - 20 * kWidth, lower.begin() + 20 * kWidth));  // whole pixels
}

}  // namespace
