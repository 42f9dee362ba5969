// Effect files taken apart (blocks, pass states, uniforms, errors with their lines) and effects on the recording
// device: technique choice, pairing of Begin/End and passes, parameters by name and the device's state put back.
#include <gtest/gtest.h>

#include <functional>  // std::identity
#include <sstream>
#include <string>

#include "formats/effect_file.h"
#include "gfx/effect.h"
#include "gfx/null_device.h"
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
    BoundsCulling = false;
    pass A { VertexShader = VS; PixelShader = PS; AlphaBlendEnable = true; SrcBlend = One; DestBlend = one;
             ZWriteEnable = false; ZFunc = LessEqual; }
    pass B { VertexShader = VS; PixelShader = PS; FillMode = Wireframe; CullMode = 1 }
}
)";

// The parts of a parsed file in one line: stages (name, kind, line), techniques (those culled by their objects'
// bounds marked "+") with their passes (stages, state=value) and uniforms (name:type).
std::string summary(const EffectFile& f) {
    std::ostringstream out;
    for (const auto& s : f.stages) out << s.name << (s.vertex ? " v " : " f ") << s.line << "; ";
    for (const auto& t : f.techniques) {
        out << t.name << (t.boundsCulling ? "+:" : ":");
        for (const auto& p : t.passes) {
            out << " " << p.name << p.vertexStage << p.fragmentStage;
            for (const auto& s : p.states) out << " " << static_cast<int>(s.state) << "=" << s.value;
        }
        out << "; ";
    }
    for (const auto& u : f.uniforms) out << u.name << ":" << static_cast<int>(u.type) << " ";
    return out.str();
}

TEST(EffectFile, TakesTheBlocksApartAndKeepsTheRestAsSharedGlsl) {
    EffectFile f;
    std::string error;
    ASSERT_TRUE(parseEffectFile(kSmall, f, error)) << error;
    // State names and values are not case-sensitive, numbers are taken as they are, arrays (type 5) are not set by
    // name, a stage's uniforms count.
    EXPECT_EQ(summary(f),
              "VS v 6; PS f 7; First+: A01; Add: A01 27=1 19=2 20=2 14=0 23=4 B01 8=2 22=1; "
              "mvp:4 tint:3 extra:3 weights:5 gain:0 ");
    EXPECT_NE(f.stages[0].body.find("if (true) { }"), std::string::npos);  // nested braces kept
    std::string shared;
    for (const auto& piece : f.shared) shared += piece.text;
    EXPECT_TRUE(shared.find("struct Light") != std::string::npos && shared.find("technique") == std::string::npos);
    // Stage sources carry the file's lines.
    const std::string vs = f.stageSource(f.stages[0]), fs = f.stageSource(f.stages[1]);
    EXPECT_TRUE(vs.rfind("#version 330 core\n", 0) == 0 && vs.find("#line 6\n") != std::string::npos) << vs;
    EXPECT_NE(vs.find("#define VARYING out"), std::string::npos);
    EXPECT_NE(fs.find("#define VARYING in"), std::string::npos);
}

TEST(EffectFile, ErrorsNameTheLineAndLeaveNothingHalfMade) {
    const std::pair<std::string_view, const char*> cases[] = {
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
        {"technique T {\n BoundsCulling = maybe; pass P { } }", "2: BoundsCulling cannot be maybe"},
        {"technique T { pass P { ZEnable = true; }", "1: the technique T has no closing brace"},
        {"vertex V { }\nvertex V { }", "2: a second stage named V"},
        {"void f() {\n", "2: the shared GLSL has unbalanced braces"},
        {"", "1: the file has no technique"},
        {std::string_view("a\0b", 3), "1: the file holds a NUL byte; it is not text"},
    };
    for (const auto& [text, wanted] : cases) {
        EffectFile f;
        std::string error;
        EXPECT_FALSE(parseEffectFile(text, f, error)) << text;
        EXPECT_EQ(error, wanted) << text;
        EXPECT_TRUE(f.stages.empty() && f.techniques.empty());
    }
}

struct Effects : ::testing::Test {
    krovane::test::TempDir dir;
    Ref<RecordingDevice> device = RecordingDevice::create();
    Ref<Effect> effect;
    void SetUp() override {
        krovane::platform::writeFileAtomically("small.fx", kSmall);
        ASSERT_EQ(CreateEffectFromFileA(device.get(), "small.fx", &effect), kOk);
    }
    // The check a call's record names, the call's result agreeing.
    DeviceCheck named(Result result) {
        const DeviceCheck check = device->calls().back().check;
        EXPECT_EQ(result, check == DeviceCheck::None ? kOk : kInvalidCall) << message(check);
        return check;
    }
};

TEST_F(Effects, TechniquesAndPassesPairAndEachMisuseNamesItsCheck) {
    std::uint32_t passes = 0;
    ASSERT_EQ(effect->Begin(&passes, 0), kOk);
    EXPECT_EQ(passes, 1u);  // the first technique until another is chosen
    EXPECT_EQ(named(effect->SetTechnique("Add")), DeviceCheck::EffectSetTechniqueInBegin);
    EXPECT_EQ(named(effect->Begin(&passes, 0)), DeviceCheck::EffectBeginInBegin);
    ASSERT_EQ(effect->End(), kOk);
    EXPECT_EQ(std::vector({named(effect->SetTechnique("add")), named(effect->SetTechnique(nullptr))}),
              std::vector(2, DeviceCheck::EffectSetTechniqueUnknown));
    EXPECT_EQ(effect->SetTechnique("Add"), kOk);
    // A technique may keep its objects from being culled by their bounds; no technique: the current one.
    EXPECT_TRUE(effect->cullsByBounds(effect->GetTechniqueByName("First")));
    EXPECT_FALSE(effect->cullsByBounds(effect->GetTechniqueByName("None")));

    // (The states each pass sets, their values put back by End, and the program: the golden frame's effect B.)
    ASSERT_EQ(effect->Begin(&passes, 0), kOk);
    EXPECT_EQ(passes, 2u);
    ASSERT_EQ(effect->BeginPass(0), kOk);
    EXPECT_EQ(named(effect->BeginPass(1)), DeviceCheck::EffectBeginPassInPass);
    ASSERT_EQ(effect->EndPass(), kOk);
    ASSERT_EQ(effect->BeginPass(1), kOk);
    effect->EndPass();
    EXPECT_EQ(named(effect->BeginPass(2)), DeviceCheck::EffectBeginPassPastLast);
    ASSERT_EQ(effect->End(), kOk);
    EXPECT_EQ(std::vector({named(effect->End()), named(effect->EndPass()), named(effect->BeginPass(0))}),
              std::vector({DeviceCheck::EffectEndOutsideBegin, DeviceCheck::EffectEndPassOutsidePass,
                           DeviceCheck::EffectBeginPassOutsideBegin}));
}

// Parameters are set by name and kind, techniques chosen by name; through a handle every call does and records the
// same, failures included.
TEST_F(Effects, ParametersAndTechniquesByNameOrHandle) {
    const Matrix m = {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {5, 6, 7, 1}}};
    const Vector4 v{1, 2, 3, 4};
    // The calls on `e`, naming parameters with `p` and techniques with `t`: what each recorded, its value or check.
    const auto script = [&](Effect& e, auto p, auto t) {
        device->clearCalls();
        e.SetMatrix(p("mvp"), &m), e.SetVector(p("tint"), &v), e.SetFloat(p("gain"), 0.5f);
        // Refused: an unknown name, the wrong kind (a vector, a matrix, an array), no value, no name.
        e.SetFloat(p("nothing"), 1.0f), e.SetFloat(p("tint"), 1.0f), e.SetVector(p("mvp"), &v);
        e.SetFloat(p("weights"), 1.0f), e.SetMatrix(p("mvp"), nullptr), e.SetFloat(p(nullptr), 1.0f);
        e.SetTechnique(t("None")), e.SetTechnique(p("gain")), e.SetTechnique(t("Add"));
        std::vector<std::string> out;
        for (const RecordedCall& c : device->calls())
            out.push_back(c.name + " " +
                          (failed(c.result)
                               ? std::to_string(static_cast<int>(c.check))
                               : std::to_string(c.matrix ? c.matrix->m[3][1] : c.values[0] + c.values[3])));
        return out;
    };
    using C = DeviceCheck;
    const auto no = [](const char* name, C check) { return std::string(name) + " " + std::to_string(int(check)); };
    const auto named = script(*effect, std::identity{}, std::identity{});
    EXPECT_EQ(named, (std::vector<std::string>{
                         "mvp 6.000000", "tint 5.000000", "gain 0.500000", no("nothing", C::EffectParameterUnknown),
                         no("tint", C::EffectParameterKind), no("mvp", C::EffectParameterKind),
                         no("weights", C::EffectParameterKind), no("mvp", C::EffectParameterNull),
                         no("", C::EffectParameterUnknown), no("None", C::EffectSetTechniqueUnknown),
                         no("gain", C::EffectSetTechniqueUnknown), "Add 0.000000"}));
    Ref<Effect> other;
    ASSERT_EQ(CreateEffectFromFileA(device.get(), "small.fx", &other), kOk);
    const auto parameter = [&](const char* n) { return n ? other->GetParameterByName(n) : EffectHandle{}; };
    const auto technique = [&](const char* n) { return other->GetTechniqueByName(n); };
    EXPECT_EQ(script(*other, parameter, technique), named);
    std::uint32_t passes = 0;
    other->Begin(&passes, 0);
    EXPECT_EQ(passes, 2u);  // "Add" was chosen through its handle
    other->End();
}

TEST(EffectValues, OnlyChangedValuesReachTheProgram) {
    struct Counting final : NullBackend {  // counts the values handed to its programs
        struct Program final : ShaderProgram {
            Program(Device& d, int& given) : ShaderProgram(&d), given_(given) {}
            std::int32_t uniformLocation(const char*) const override { return 0; }
            void setUniform(std::int32_t, UniformType, const float*) override { ++given_; }
            int& given_;
        };
        int given = 0;
        Result createShaderProgram(Device& d, const char*, const char*, Ref<ShaderProgram>* p,
                                   std::string&) override {
            *p = Ref<ShaderProgram>::adopt(new Program(d, given));
            return kOk;
        }
    };
    auto owned = std::make_unique<Counting>();
    Counting* counting = owned.get();
    const Ref<Device> device = Device::create(std::move(owned));
    EffectFile file;
    std::string error;
    ASSERT_TRUE(parseEffectFile(kSmall, file, error));
    Ref<Effect> effect;
    ASSERT_EQ(Effect::create(device.get(), file, "small.fx", &effect, error), kOk);
    const Vector4 v{1, 2, 3, 4}, w{1, 2, 3, 5};
    // The values handed over by the first pass of each round: (tint, gain) set before it, and one set inside it.
    const auto round = [&](const Vector4& tint, float gain, float inside) {
        effect->SetVector("tint", &tint);
        effect->SetFloat("gain", gain);
        counting->given = 0;
        std::uint32_t passes = 0;
        effect->Begin(&passes, 0);
        effect->BeginPass(0);
        const int before = counting->given;
        effect->SetFloat(effect->GetParameterByName("gain"), inside);
        effect->EndPass();
        effect->End();
        return std::pair(before, counting->given - before);
    };
    EXPECT_EQ(round(v, 0.5f, 0.5f), std::pair(2, 0));   // both new; the same value inside the pass: nothing
    EXPECT_EQ(round(v, 0.5f, 0.5f), std::pair(0, 0));   // all as the program has them
    EXPECT_EQ(round(w, 0.5f, 0.25f), std::pair(1, 1));  // the tint changed; gain changed inside the pass
    EXPECT_EQ(round(w, 0.25f, 0.25f), std::pair(0, 0));
}

TEST_F(Effects, MissingAndMalformedFilesFailWithTheirReason) {
    krovane::platform::writeFileAtomically("bad.fx", "vertex V { }\nfragment F { }\ntechnique T { pass P { } }\n");
    for (const auto& c : {std::pair{"fx\\none.fx", "fx\\none.fx: no such file"},
                          {"bad.fx", "bad.fx(3): the pass names no vertex stage"}}) {
        std::string error;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(failed(CreateEffectFromFileA(device.get(), c.first, &effect, &error)));
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");  // the caller says it
        EXPECT_EQ(error, c.second);
        EXPECT_EQ(effect, nullptr);  // a failure empties the handle
        ASSERT_EQ(CreateEffectFromFileA(device.get(), "small.fx", &effect), kOk);
    }
}

}  // namespace
