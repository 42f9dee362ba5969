// Effects drawing for real (offscreen OpenGL): the matrix rule, the material
// and texture handed to shaders, compiler errors naming the file's lines,
// and the shipped Phong effect, whose further-light technique adds a second
// light's contribution to the first.
#include <gtest/gtest.h>

#include <string>

#include "gfx/effect.h"
#include "gfx/geometry.h"
#include "gfx/gl_fixture.h"
#include "gfx/texture.h"
#include "platform/file_io.h"
#include "temp_dir.h"

namespace {

using namespace krovane::test;

// A triangle facing the viewer (-z) over the middle of clip space.
const MeshVertex kTriangle[3] = {
    {-0.6f, -0.6f, 0.5f, 0, 0, -1, 0, 0}, {0.0f, 0.6f, 0.5f, 0, 0, -1, 0, 0}, {0.6f, -0.6f, 0.5f, 0, 0, -1, 0, 0}};

constexpr const char* kFlat = R"(
uniform mat4 move;
uniform vec4 tint;
vertex VS { void main() { gl_Position = move * vec4(inPosition, 1.0); } }
fragment PS { out vec4 c; void main() { c = tint * MaterialDiffuse * texture(Texture0, vec2(0.5)); } }
technique T { pass P { VertexShader = VS; PixelShader = PS; } }
)";

class EffectGl : public GlDevice {
protected:
    Ref<Effect> make(const char* text, std::string& error) {
        krovane::platform::writeFileAtomically("e.fx", text);
        Ref<Effect> effect;
        testing::internal::CaptureStderr();
        CreateEffectFromFileA(device.get(), "e.fx", &effect, &error);
        stderrText = testing::internal::GetCapturedStderr();
        return effect;
    }
    void draw() {
        ASSERT_EQ(device->DrawPrimitiveUP(PrimitiveType::TriangleList, 1, kTriangle, sizeof(MeshVertex)), kOk);
    }
    krovane::test::TempDir dir;
    std::string stderrText;
};

TEST_F(EffectGl, MatricesInTheEngineLayoutTransformAsRowVectorsDo) {
    OPEN_OR_SKIP();
    std::string error;
    Ref<Effect> effect = make(kFlat, error);
    ASSERT_NE(effect, nullptr) << error;
    clear(0xFF000000);
    device->BeginScene();
    device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
    Material m{};
    m.diffuse = {1, 1, 1, 1};
    device->SetMaterial(&m);
    // Translation lives in the fourth row for row vectors: move right by 0.5.
    const Matrix move = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0.5f, 0, 0, 1}}};
    const Vector4 green{0, 1, 0, 1};
    effect->SetMatrix("move", &move);
    effect->SetVector("tint", &green);
    std::uint32_t passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    draw();
    effect->EndPass();
    effect->End();
    device->EndScene();
    const auto f = frame();
    EXPECT_EQ(at(f, kWidth / 2 + kWidth / 4, kHeight / 2), 0x00FF00u);      // moved there
    EXPECT_EQ(at(f, kWidth / 2 - kWidth / 5, kHeight / 2 + 8), 0x000000u);  // and gone from here
    effect.reset();
}

TEST_F(EffectGl, ShadersSeeTheMaterialAndTheTextureOfStageZero) {
    OPEN_OR_SKIP();
    std::string error;
    Ref<Effect> effect = make(kFlat, error);
    ASSERT_NE(effect, nullptr) << error;
    const Vector4 white{1, 1, 1, 1};
    effect->SetMatrix("move", &kIdentityMatrix);
    effect->SetVector("tint", &white);
    Ref<Texture> blue;
    const std::uint32_t pixel = 0xFF0000FF;
    ASSERT_EQ(device->CreateTexture(1, 1, &pixel, &blue), kOk);

    clear(0xFF000000);
    device->BeginScene();
    device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
    Material m{};
    m.diffuse = {1, 0, 1, 1};  // magenta
    device->SetMaterial(&m);
    std::uint32_t passes = 0;
    effect->Begin(&passes, 0);
    effect->BeginPass(0);
    draw();  // no texture: white, so the material shows as it is
    EXPECT_EQ(at(frame(), kWidth / 2, kHeight / 2), 0xFF00FFu);
    device->SetTexture(0, blue.get());
    draw();  // magenta times blue
    EXPECT_EQ(at(frame(), kWidth / 2, kHeight / 2), 0x0000FFu);
    effect->EndPass();
    effect->End();
    device->EndScene();
    device->SetTexture(0, nullptr);
    blue.reset();
    effect.reset();
}

TEST_F(EffectGl, ACompilerErrorFailsCreationAndNamesTheFileLine) {
    OPEN_OR_SKIP();
    std::string error;
    Ref<Effect> effect = make(
        "uniform vec4 tint;\n"
        "vertex VS { void main() { gl_Position = vec4(inPosition, 1.0); } }\n"
        "fragment PS {\n"
        "    out vec4 c;\n"
        "    void main() { c = tint * undefinedThing; }\n"
        "}\n"
        "technique T { pass P { VertexShader = VS; PixelShader = PS; } }\n",
        error);
    EXPECT_EQ(effect, nullptr);
    EXPECT_NE(error.find("e.fx: the stages VS and PS did not build"), std::string::npos) << error;
    EXPECT_NE(error.find("e.fx:5:"), std::string::npos) << error;  // the line of the mistake
    EXPECT_EQ(stderrText, "effect: " + error + "\n");
}

// The shipped effect, drawing a quad lit from straight in front by one light,
// then by two: the second light's pass adds as much again.
TEST_F(EffectGl, ThePhongEffectAddsAFurtherLightsContribution) {
    OPEN_OR_SKIP();
    Ref<Effect> effect;
    std::string error;
    ASSERT_EQ(CreateEffectFromFileA(device.get(), KROVANE_DEMO_DIR "/fx/vek_Phong.fx", &effect, &error), kOk) << error;

    const Vector4 eye{0, 0, -5, 1}, light{0, 0, -2, 1}, color{0.4f, 0.4f, 0.4f, 1};
    effect->SetVector("View_Pos", &eye);
    effect->SetMatrix("mat_World_View_Proj", &kIdentityMatrix);
    effect->SetMatrix("matWorld", &kIdentityMatrix);
    effect->SetVector("LightPos", &light);
    effect->SetVector("LightColor", &color);
    effect->SetFloat("LightFalloff", 1000.0f);
    effect->SetFloat("LightSpecular", 8.0f);
    effect->SetFloat("LightSpecular_Itens", 0.0f);
    effect->SetFloat("LightAmbient", 0.0f);
    effect->SetFloat("Attenuation", 0.0f);  // full strength at any distance

    Material m{};
    m.diffuse = {1, 1, 1, 1};
    const auto drawWith = [&](const char* technique) {
        ASSERT_EQ(effect->SetTechnique(technique), kOk);
        std::uint32_t passes = 0;
        effect->Begin(&passes, 0);
        for (std::uint32_t p = 0; p < passes; ++p) {
            effect->BeginPass(p);
            draw();
            effect->EndPass();
        }
        effect->End();
    };

    clear(0xFF000000);
    device->BeginScene();
    device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
    device->SetMaterial(&m);
    drawWith("vek_Phong");
    const std::uint32_t one = at(frame(), kWidth / 2, kHeight / 2);
    drawWith("vek_Phong_alpha");
    const std::uint32_t two = at(frame(), kWidth / 2, kHeight / 2);
    device->EndScene();

    const int oneRed = static_cast<int>(one >> 16), twoRed = static_cast<int>(two >> 16);
    EXPECT_GT(oneRed, 60);
    EXPECT_NEAR(twoRed, 2 * oneRed, 3);
    EXPECT_EQ(one & 0xFF, one >> 16);  // grey light on a white surface stays grey
    // The additive pass neither wrote depth nor left blending on.
    EXPECT_EQ(device->renderState(RenderState::AlphaBlendEnable), 0u);
    EXPECT_EQ(device->renderState(RenderState::ZWriteEnable), 1u);
    effect.reset();
}

// Back faces on screen: the shipped effect keeps triangles running
// clockwise and culls counter-clockwise ones; fixed-function draws cull as
// the device's mode says, nothing at all with the engine's start value.
TEST_F(EffectGl, CullingFollowsTheModeAndTheShippedEffectCullsCounterClockwiseFaces) {
    OPEN_OR_SKIP();
    Ref<Effect> effect;
    std::string error;
    ASSERT_EQ(CreateEffectFromFileA(device.get(), KROVANE_DEMO_DIR "/fx/vek_Phong.fx", &effect, &error), kOk) << error;
    effect->SetMatrix("mat_World_View_Proj", &kIdentityMatrix);
    effect->SetMatrix("matWorld", &kIdentityMatrix);
    effect->SetFloat("LightAmbient", 1.0f);  // the surface's own colour, white
    Material m{};
    m.diffuse = {1, 1, 1, 1};
    const MeshVertex counterClockwise[3] = {kTriangle[0], kTriangle[2], kTriangle[1]};
    const struct {
        const char* name;
        bool throughEffect;
        std::uint32_t mode;
        bool clockwiseDrawn, counterClockwiseDrawn;
    } cases[] = {
        {"shipped effect", true, kCullForceDword, true, false},
        {"engine start value", false, kCullForceDword, true, true},
        {"none", false, kCullNone, true, true},
        {"clockwise", false, kCullClockwise, false, true},
        {"counter-clockwise", false, kCullCounterClockwise, true, false},
    };
    for (const auto& c : cases)
        for (const bool clockwise : {true, false}) {
            clear(0xFF000000);
            device->BeginScene();
            device->SetRenderState(RenderState::CullMode, c.mode);
            device->SetRenderState(RenderState::Lighting, 0);
            device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
            device->SetMaterial(&m);
            std::uint32_t passes = 1;
            if (c.throughEffect) effect->Begin(&passes, 0);
            for (std::uint32_t p = 0; p < passes; ++p) {
                if (c.throughEffect) effect->BeginPass(p);
                device->DrawPrimitiveUP(PrimitiveType::TriangleList, 1, clockwise ? kTriangle : counterClockwise,
                                        sizeof(MeshVertex));
                if (c.throughEffect) effect->EndPass();
            }
            if (c.throughEffect) effect->End();
            device->EndScene();
            EXPECT_EQ(at(frame(), kWidth / 2, kHeight / 2) != 0, clockwise ? c.clockwiseDrawn : c.counterClockwiseDrawn)
                << c.name << (clockwise ? ", clockwise" : ", counter-clockwise");
            EXPECT_EQ(device->renderState(RenderState::CullMode), c.mode) << c.name;
        }
    effect.reset();
}

}  // namespace
