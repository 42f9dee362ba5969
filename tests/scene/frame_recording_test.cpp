// The calls a small level's objects issue over two frames, held line by line
// against a golden record of every device and effect call and every value they
// pass, so that drawing is made cheaper without changing a call.
#include <array>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "../scene_fixture.h"

namespace {

using namespace krovane::gfx;
using namespace krovane::test;

// A is the lit effect; B lacks two parameters and the further-light technique, and has two passes.
constexpr const char* kEffectB = R"(
uniform vec4 View_Pos; uniform mat4 mat_World_View_Proj; uniform vec4 LightPos; uniform vec4 LightColor;
uniform float LightFalloff; uniform float LightSpecular; uniform float LightSpecular_Itens; uniform float LightAmbient;
vertex VS { void main() { gl_Position = mat_World_View_Proj * vec4(inPosition, 1.0); } }
fragment PS { out vec4 c; void main() { c = LightColor; } }
technique vek_Phong { pass P0 { VertexShader = VS; PixelShader = PS; ZWriteEnable = false; }
                      pass P1 { VertexShader = VS; PixelShader = PS; FillMode = Wireframe; ZFunc = Less; } })";

// One line per call: the op (or an effect call's name), "!" when it failed, the check a refused call names, then
// every value passed (trailing zeros of the fixed arrays left out), the resource by first appearance so that
// addresses do not count, and the vertex bytes as their length and an FNV-1a hash.
std::string describe(const RecordedCall& c, std::vector<const void*>& seen) {
    static const char* const kOps[] = {
        "clear", "begin-scene", "end-scene", "present", "rs",     "ss",      "xf",     "mat",  "tex",
        "fvf",   "vb",          "new-vb",    "new-tex", "draw",   "draw-up", "prog",   "tech", "begin",
        "pass",  "endpass",     "end",       "matrix",  "vector", "float",   "new-ib", "ib",   "draw-indexed"};
    std::string line = c.name.empty() ? kOps[static_cast<int>(c.op)] : c.name;
    const auto number = [&](auto v) {
        char text[32];
        line.append(text, std::to_chars(text, text + sizeof text, v).ptr);
    };
    const auto list = [&](const char* label, const auto* v, std::size_t n) {
        while (n > 0 && v[n - 1] == 0) --n;
        for (std::size_t i = 0; i < n; ++i) line += i ? "," : label, number(v[i]);
    };
    if (failed(c.result)) line += "! result=", number(c.result);
    if (c.check != DeviceCheck::None) line += std::string(" check=") + message(c.check);
    list(" args=", c.args, std::size(c.args));
    list(" values=", c.values, std::size(c.values));
    if (c.z != 0) line += " z=", number(c.z);
    const auto floats = [&](const char* label, const auto& v) {
        std::array<float, sizeof v / sizeof(float)> f;
        std::memcpy(f.data(), &v, sizeof v);
        list(label, f.data(), f.size());
    };
    if (c.matrix) floats(" matrix=", *c.matrix);
    if (c.material) floats(" material=", *c.material);
    if (c.object) {
        const std::size_t ordinal = std::find(seen.begin(), seen.end(), c.object) - seen.begin();
        if (ordinal == seen.size()) seen.push_back(c.object);
        line += " object=", number(ordinal);
    }
    if (!c.vertices.empty()) {
        std::uint32_t hash = 2166136261u;
        for (std::uint8_t byte : c.vertices) hash = (hash ^ byte) * 16777619u;
        char text[16];
        std::snprintf(text, sizeof text, "%08x", hash);
        line += " bytes=", number(c.vertices.size()), line += std::string(":") + text;
    }
    return line;
}

struct FrameRecording : SceneFixture<> {};

TEST_F(FrameRecording, TwoFramesOfASmallLevelIssueTheGoldenCalls) {
    writeFile("fx/a.fx", kLitEffect);
    writeFile("fx/b.fx", kEffectB);
    writeFile("models/square.x", squareModel({"t.bmp", ""}));
    writeBmp("textures/t.bmp", 0x336699);
    writeFile("objects/ab.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { A missing B }");
    writeFile("objects/a.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { A }");
    writeFile("objects/plain.DR", "_MODEL_FILE_ { models\\square.x }");
    level(R"(_CAMERAS_ { cam { _POSITION_ { 0 1 -10 } _LOOK_ { 0 0 0 } } }
        _LIGHTS_ { sun { _POSITION_ { 1 2 3 } _COLOR_ { 0.5 0.25 1 } _FALLOFF_ { 77 } } moon { _POSITION_ { 9 9 9 } } }
        _EFFECTS_ { A { _FILE_FX_ { fx\a.fx } _FILE_ { none } } B { _FILE_FX_ { fx\b.fx } _FILE_ { none } } }
        _OBJECTS_ {
            o1 { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\ab.DR } _POSITION_ { 0 0 0 } _ROTATION_ { 0 0 0 } }
            o2 { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\plain.DR } _POSITION_ { 1 0 0 } _ROTATION_ { 0 30 0 } }
            o3 { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\a.DR } _POSITION_ { 0 0 -50 } _ROTATION_ { 0 0 0 } }
            o4 { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\a.DR } _POSITION_ { 2 1 0 } _ROTATION_ { 10 0 5 } } })");
    objects.ExecuteCommand("object.visible 4 0");
    objects.ExecuteCommand("object.visible 4 1");
    device->BeginScene();
    device->clearCalls();
    objects.RenderAll();  // the first frame: the device's view is still the identity
    cameras.CurrentCamera()->ApplyTransforms(device.get());
    objects.RenderAll();
    std::vector<const void*> seen;
    std::vector<std::string> actual;
    for (const RecordedCall& c : device->calls()) actual.push_back(describe(c, seen));

    // The golden record: first light then the second, per frame; per object its world transform, then A (every
    // parameter, the technique, its pass and mesh), "missing" fixed-function, B (no "matWorld", "Attenuation" or
    // further-light technique, two passes); the object behind the camera sets "View_Pos" and is left out.
    // KROVANE_UPDATE_GOLDEN=1 rewrites it; the first line that changed is reported either way.
    const auto golden = std::filesystem::path(KROVANE_TESTS_DIR) / "scene/frame_recording_test.golden";
    std::vector<std::string> expected;
    std::ifstream in(golden);
    for (std::string line; std::getline(in, line);) expected.push_back(line);
    if (std::getenv("KROVANE_UPDATE_GOLDEN")) {
        std::ofstream out(golden);
        for (const std::string& line : actual) out << line << "\n";
    }
    const std::size_t same =
        std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end()).first - expected.begin();
    if (same < std::max(expected.size(), actual.size()))
        ADD_FAILURE() << "call " << same + 1 << " of " << actual.size() << " differs from " << golden.string()
                      << "\n  expected: " << (same < expected.size() ? expected[same] : "(no more calls)")
                      << "\n  actual:   " << (same < actual.size() ? actual[same] : "(no more calls)");
}

}  // namespace
