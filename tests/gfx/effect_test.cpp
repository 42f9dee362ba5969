// Effect files taken apart (blocks, pass states, uniforms, errors with their
// lines) and effects on the recording device: technique choice, pairing of
// Begin/End and passes, parameters by name, and device state kept across
// Begin/End.
#include <gtest/gtest.h>

#include <string>

#include "formats/effect_file.h"
#include "gfx/effect.h"
#include "gfx/recording_device.h"
#include "platform/file_io.h"
#include "temp_dir.h"

namespace {

using namespace krovane::formats;
using namespace krovane::gfx;

constexpr const char* kSmall = R"(// shared { text } with braces in a comment
uniform mat4 mvp;
uniform vec4 tint, extra;
uniform float weights[4];
struct Light { vec3 p; };
vertex VS { void main() { gl_Position = mvp * vec4(inPosition, 1.0); if (true) { } } }
fragment PS {
    out vec4 c;
    uniform float gain;   /* inside a stage, still a parameter */
    void main() { c = tint * gain; }
}
technique First { pass A { VertexShader = VS; PixelShader = PS; } }
technique Add {
    pass A { VertexShader = VS; PixelShader = PS; AlphaBlendEnable = true; SrcBlend = One; DestBlend = one;
             ZWriteEnable = false; ZFunc = LessEqual; }
    pass B { VertexShader = VS; PixelShader = PS; FillMode = Wireframe; CullMode = 1 }
}
)";

TEST(EffectFile, TakesTheBlocksApartAndKeepsTheRestAsSharedGlsl) {
    EffectFile f;
    std::string error;
    ASSERT_TRUE(parseEffectFile(kSmall, f, error)) << error;
    ASSERT_EQ(f.stages.size(), 2u);
    EXPECT_EQ(f.stages[0].name, "VS");
    EXPECT_TRUE(f.stages[0].vertex);
    EXPECT_EQ(f.stages[0].line, 6u);
    EXPECT_NE(f.stages[0].body.find("if (true) { }"), std::string::npos);  // nested braces kept
    EXPECT_FALSE(f.stages[1].vertex);
    EXPECT_EQ(f.stages[1].line, 7u);

    ASSERT_EQ(f.techniques.size(), 2u);
    EXPECT_EQ(f.techniques[0].name, "First");
    ASSERT_EQ(f.techniques[1].passes.size(), 2u);
    const auto& a = f.techniques[1].passes[0].states;
    ASSERT_EQ(a.size(), 5u);
    EXPECT_EQ(a[0].state, RenderState::AlphaBlendEnable);
    EXPECT_EQ(a[0].value, 1u);
    EXPECT_EQ(a[2].value, 2u);  // names are not case-sensitive
    EXPECT_EQ(a[4].state, RenderState::ZFunc);
    EXPECT_EQ(a[4].value, 4u);
    const auto& b = f.techniques[1].passes[1].states;
    EXPECT_EQ(b[0].value, kFillWireframe);
    EXPECT_EQ(b[1].value, 1u);  // numbers are taken as they are

    // The struct and the uniforms stay in the shared text.
    std::string shared;
    for (const auto& piece : f.shared) shared += piece.text;
    EXPECT_NE(shared.find("struct Light"), std::string::npos);
    EXPECT_EQ(shared.find("technique"), std::string::npos);

    ASSERT_EQ(f.uniforms.size(), 5u);
    EXPECT_EQ(f.uniforms[0].name, "mvp");
    EXPECT_EQ(f.uniforms[0].type, UniformType::Mat4);
    EXPECT_EQ(f.uniforms[2].name, "extra");
    EXPECT_EQ(f.uniforms[2].type, UniformType::Vec4);
    EXPECT_EQ(f.uniforms[3].type, UniformType::Other);  // arrays are not set by name
    EXPECT_EQ(f.uniforms[4].name, "gain");
}

TEST(EffectFile, StageSourcesCarryTheFileLines) {
    EffectFile f;
    std::string error;
    ASSERT_TRUE(parseEffectFile(kSmall, f, error)) << error;
    const std::string vs = f.stageSource(f.stages[0]);
    EXPECT_EQ(vs.rfind("#version 330 core\n", 0), 0u);
    EXPECT_NE(vs.find("#line 6\n"), std::string::npos);
    EXPECT_NE(vs.find("#define VARYING out"), std::string::npos);
    EXPECT_NE(f.stageSource(f.stages[1]).find("#define VARYING in"), std::string::npos);
}

TEST(EffectFile, ErrorsNameTheLine) {
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"vertex V { }\nfragment F { }\n", "3: the file has no technique"},
        {"vertex V { }\nfragment F { }\ntechnique T {\n pass P { VertexShader = V; PixelShader = F; Fog = 1; }\n}",
         "4: unknown pass state Fog"},
        {"vertex V { }\nfragment F { }\ntechnique T {\n pass P { VertexShader = V; PixelShader = F;\n"
         " ZFunc = Sometimes; } }",
         "5: the state ZFunc cannot be Sometimes"},
        {"vertex V { }\ntechnique T {\n pass P { VertexShader = V; PixelShader = Missing; } }",
         "3: no fragment stage named Missing"},
        {"vertex V { }\nfragment F { }\ntechnique T { pass P { VertexShader = F; PixelShader = F; } }",
         "3: F is not a vertex stage"},
        {"vertex V { }\nfragment F { }\ntechnique T { pass P { PixelShader = F; } }",
         "3: the pass names no vertex stage"},
        {"vertex V {\n void main() {\n", "1: the stage V has no closing brace"},
        {"technique T { }", "1: the technique T has no pass"},
        {"technique T { pass P { ZEnable = true; }", "1: the technique T has no closing brace"},
        {"vertex V { }\nvertex V { }", "2: a second stage named V"},
        {"void f() {\n", "2: the shared GLSL has unbalanced braces"},
        {"", "1: the file has no technique"},
    };
    for (const auto& c : cases) {
        EffectFile f;
        std::string error;
        EXPECT_FALSE(parseEffectFile(c.text, f, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
        EXPECT_TRUE(f.stages.empty() && f.techniques.empty());  // nothing half made
    }
    EffectFile f;
    std::string error;
    EXPECT_FALSE(parseEffectFile(std::string_view("a\0b", 3), f, error));
    EXPECT_EQ(error, "1: the file holds a NUL byte; it is not text");
}

TEST(EffectFile, TheShippedPhongEffectParses) {
    std::string text;
    ASSERT_EQ(krovane::platform::readWholeFile(KROVANE_DEMO_DIR "/fx/vek_Phong.fx", text, 1 << 20),
              krovane::platform::ReadStatus::Ok);
    EffectFile f;
    std::string error;
    ASSERT_TRUE(parseEffectFile(text, f, error)) << error;
    ASSERT_EQ(f.techniques.size(), 2u);
    EXPECT_EQ(f.techniques[0].name, "vek_Phong");
    EXPECT_EQ(f.techniques[1].name, "vek_Phong_alpha");
    for (const char* name : {"View_Pos", "mat_World_View_Proj", "matWorld", "LightPos", "LightColor", "LightFalloff",
                             "LightSpecular", "LightSpecular_Itens", "LightAmbient", "Attenuation"}) {
        bool found = false;
        for (const auto& u : f.uniforms) found = found || u.name == name;
        EXPECT_TRUE(found) << name;
    }
}

class EffectOnRecordingDevice : public ::testing::Test {
protected:
    void SetUp() override {
        device = RecordingDevice::create();
        EffectFile file;
        std::string error;
        ASSERT_TRUE(parseEffectFile(kSmall, file, error)) << error;
        ASSERT_EQ(Effect::create(device.get(), std::move(file), "small.fx", &effect, error), kOk) << error;
    }
    Ref<RecordingDevice> device;
    Ref<Effect> effect;
};

TEST_F(EffectOnRecordingDevice, TechniquesAreChosenByNameAndUnknownOnesRefused) {
    EXPECT_EQ(effect->SetTechnique("Add"), kOk);
    EXPECT_TRUE(failed(effect->SetTechnique("add")));
    EXPECT_TRUE(failed(effect->SetTechnique(nullptr)));
    std::uint32_t passes = 0;
    EXPECT_EQ(effect->Begin(&passes, 0), kOk);
    EXPECT_EQ(passes, 2u);
    EXPECT_TRUE(failed(effect->SetTechnique("First")));  // not while begun
    EXPECT_EQ(effect->End(), kOk);
}

TEST_F(EffectOnRecordingDevice, BeginAndEndLeaveTheDeviceAsItWas) {
    device->SetRenderState(RenderState::ZWriteEnable, 1);
    device->SetRenderState(RenderState::AlphaBlendEnable, 0);
    device->SetRenderState(RenderState::FillMode, kFillSolid);
    device->SetRenderState(RenderState::DestBlend, 6);
    effect->SetTechnique("Add");
    std::uint32_t passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), kOk);
    ASSERT_EQ(effect->BeginPass(0), kOk);
    EXPECT_EQ(device->renderState(RenderState::AlphaBlendEnable), 1u);
    EXPECT_EQ(device->renderState(RenderState::DestBlend), 2u);
    EXPECT_EQ(device->renderState(RenderState::ZWriteEnable), 0u);
    EXPECT_NE(device->shaderProgram(), nullptr);
    EXPECT_TRUE(failed(effect->BeginPass(1)));  // inside a pass
    ASSERT_EQ(effect->EndPass(), kOk);
    ASSERT_EQ(effect->BeginPass(1), kOk);
    EXPECT_EQ(device->renderState(RenderState::FillMode), kFillWireframe);
    effect->EndPass();
    EXPECT_TRUE(failed(effect->BeginPass(2)));  // past the last pass
    ASSERT_EQ(effect->End(), kOk);
    EXPECT_EQ(device->renderState(RenderState::ZWriteEnable), 1u);
    EXPECT_EQ(device->renderState(RenderState::AlphaBlendEnable), 0u);
    EXPECT_EQ(device->renderState(RenderState::FillMode), kFillSolid);
    EXPECT_EQ(device->renderState(RenderState::DestBlend), 6u);
    EXPECT_EQ(device->shaderProgram(), nullptr);
    EXPECT_TRUE(failed(effect->End()));
    EXPECT_TRUE(failed(effect->EndPass()));
    EXPECT_TRUE(failed(effect->BeginPass(0)));  // outside Begin
}

TEST_F(EffectOnRecordingDevice, ParametersAreSetByNameAndKindAndRecordedInOrder) {
    const Matrix m = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {5, 6, 7, 1}}};
    const Vector4 v{1, 2, 3, 4};
    device->clearCalls();
    EXPECT_EQ(effect->SetMatrix("mvp", &m), kOk);
    EXPECT_EQ(effect->SetVector("tint", &v), kOk);
    EXPECT_EQ(effect->SetFloat("gain", 0.5f), kOk);
    EXPECT_TRUE(failed(effect->SetFloat("nothing", 1.0f)));
    EXPECT_TRUE(failed(effect->SetFloat("tint", 1.0f)));     // a vector
    EXPECT_TRUE(failed(effect->SetVector("mvp", &v)));       // a matrix
    EXPECT_TRUE(failed(effect->SetFloat("weights", 1.0f)));  // an array
    EXPECT_TRUE(failed(effect->SetMatrix("mvp", nullptr)));
    const auto& calls = device->calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(calls[0].op, DeviceOp::EffectSetMatrix);
    EXPECT_EQ(calls[0].name, "mvp");
    ASSERT_TRUE(calls[0].matrix.has_value());
    EXPECT_EQ(calls[0].matrix->m[3][1], 6.0f);
    EXPECT_EQ(calls[1].op, DeviceOp::EffectSetVector);
    EXPECT_EQ(calls[1].values[3], 4.0f);
    EXPECT_EQ(calls[2].op, DeviceOp::EffectSetFloat);
    EXPECT_EQ(calls[2].values[0], 0.5f);
    EXPECT_TRUE(failed(calls[3].result));
}

// The shipped effect's passes cull counter-clockwise faces; draws outside it
// keep the engine's start value, which culls nothing, and End puts it back.
// Every draw's record carries the cull mode it was drawn with.
TEST(EffectCulling, TheShippedEffectCullsBackFacesAndPutsTheStartValueBack) {
    Ref<RecordingDevice> device = RecordingDevice::create();
    Ref<Effect> effect;
    ASSERT_EQ(CreateEffectFromFileA(device.get(), KROVANE_DEMO_DIR "/fx/vek_Phong.fx", &effect), kOk);
    const float triangle[3][8] = {{-1, -1, 0.5f}, {0, 1, 0.5f}, {1, -1, 0.5f}};
    device->SetRenderState(RenderState::CullMode, kCullForceDword);
    device->SetFVF(kFvfXyz | kFvfNormal | kFvfTex1);
    device->BeginScene();
    const auto drawnWith = [&] {
        device->DrawPrimitiveUP(PrimitiveType::TriangleList, 1, triangle, sizeof triangle[0]);
        return device->calls().back().args[6];
    };
    EXPECT_EQ(drawnWith(), kCullForceDword);
    for (const char* technique : {"vek_Phong", "vek_Phong_alpha"}) {
        effect->SetTechnique(technique);
        std::uint32_t passes = 0;
        effect->Begin(&passes, 0);
        for (std::uint32_t p = 0; p < passes; ++p) {
            effect->BeginPass(p);
            EXPECT_EQ(drawnWith(), kCullCounterClockwise) << technique;
            effect->EndPass();
        }
        effect->End();
        EXPECT_EQ(device->renderState(RenderState::CullMode), kCullForceDword) << technique;
        EXPECT_EQ(drawnWith(), kCullForceDword) << technique;
    }
    EXPECT_FALSE(Device::culls(kCullForceDword, true) || Device::culls(kCullForceDword, false));
}

TEST(EffectFromFile, MissingAndMalformedFilesFailWithTheirReasonOnStderr) {
    krovane::test::TempDir dir;
    const Ref<RecordingDevice> device = RecordingDevice::create();
    krovane::platform::writeFileAtomically("good.fx", kSmall);
    Ref<Effect> effect;
    std::string error;
    ASSERT_EQ(CreateEffectFromFileA(device.get(), "good.fx", &effect, &error), kOk);  // a failure must empty it
    testing::internal::CaptureStderr();
    EXPECT_TRUE(failed(CreateEffectFromFileA(device.get(), "fx\\none.fx", &effect, &error)));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "effect: fx\\none.fx: cannot open the effect file\n");
    EXPECT_EQ(effect, nullptr);

    krovane::platform::writeFileAtomically("bad.fx", "vertex V { }\nfragment F { }\ntechnique T { pass P { } }\n");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(failed(CreateEffectFromFileA(device.get(), "bad.fx", &effect, &error)));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "effect: bad.fx:3: the pass names no vertex stage\n");
    EXPECT_EQ(error, "bad.fx:3: the pass names no vertex stage");

    EXPECT_EQ(CreateEffectFromFileA(device.get(), "good.fx", &effect, &error), kOk);
    ASSERT_NE(effect, nullptr);
}

}  // namespace
