// The calls a small level's objects issue over two frames, held against a
// golden record: the order of every device and effect call, and a checksum of
// every value they pass. Drawing is made cheaper without changing a call.
#include <cstring>

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

// One word per call (the op, an effect call's name, "!" when it failed), a
// line per object drawn, and an FNV-1a checksum of everything passed.
struct Digest {
    std::vector<std::string> lines;
    std::uint64_t sum = 14695981039346656037ull;
    std::vector<const void*> objects;  // resources by first appearance, so that addresses do not count

    void add(const void* data, std::size_t bytes) {
        for (std::size_t i = 0; i < bytes; ++i)
            sum = (sum ^ static_cast<const std::uint8_t*>(data)[i]) * 1099511628211ull;
    }
    void take(const RecordedCall& c) {
        static const char* const kOps[] = {
            "clear", "begin-scene", "end-scene", "present", "rs",      "ss",      "xf",     "mat",  "tex",
            "fvf",   "vb",          "new-vb",    "new-tex", "draw-up", "draw-up", "prog",   "tech", "begin",
            "pass",  "endpass",     "end",       "",        "",        "",        "new-ib", "ib",   "draw"};
        if (c.op == DeviceOp::SetTransform && c.args[0] == static_cast<std::uint32_t>(TransformState::World))
            lines.emplace_back();
        if (lines.empty()) lines.emplace_back();
        std::string& line = lines.back();
        line += (line.empty() ? "" : " ") + (c.name.empty() ? std::string(kOps[static_cast<int>(c.op)]) : c.name);
        if (failed(c.result)) line += "!";
        const std::uint8_t op = static_cast<std::uint8_t>(c.op);
        add(&op, 1);
        add(&c.result, sizeof c.result);
        add(c.args, sizeof c.args);
        add(c.values, sizeof c.values);
        add(c.name.data(), c.name.size());
        if (c.matrix) add(&*c.matrix, sizeof *c.matrix);
        if (c.material) add(&*c.material, sizeof *c.material);
        if (!c.vertices.empty()) add(c.vertices.data(), c.vertices.size());
        std::size_t ordinal = std::find(objects.begin(), objects.end(), c.object) - objects.begin();
        if (ordinal == objects.size()) objects.push_back(c.object);
        add(&ordinal, sizeof ordinal);
    }
};

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
    Digest digest;
    for (const RecordedCall& c : device->calls()) digest.take(c);

    const std::string mesh = "mat tex vb ib draw mat tex vb ib draw";  // two subsets
    const std::string light =
        " LightPos LightColor LightFalloff LightSpecular LightSpecular_Itens LightAmbient Attenuation";
    std::vector<std::string> expected;
    for (int frame = 0; frame < 2; ++frame)
        for (int l = 1; l <= 2; ++l) {
            const std::string tech = l == 1 ? " vek_Phong" : " vek_Phong_alpha";
            const std::string a = "View_Pos mat_World_View_Proj matWorld" + light + tech + " begin pass rs prog " +
                                  mesh + " endpass end rs prog";
            // B has no "matWorld", "Attenuation" or further-light technique, and two passes.
            const std::string b = "View_Pos mat_World_View_Proj matWorld!" + light + "!" + tech + (l == 1 ? "" : "!") +
                                  " begin pass rs prog " + mesh + " endpass pass rs rs prog " + mesh +
                                  " endpass end rs rs rs prog";
            if (frame == 1 && l == 1) expected.push_back("xf xf xf");  // the camera's transforms
            expected.push_back("xf " + a + " " + mesh + " " + b);      // A, "missing" fixed-function, B
            expected.push_back("xf " + mesh);                          // no effect
            expected.push_back("xf View_Pos");                         // behind the camera: found, then left out
            expected.push_back("xf " + a);
        }
    expected[0].replace(expected[0].find(" vb ib"), 0, " fvf");  // the mesh format, set once
    EXPECT_EQ(digest.lines, expected);
    EXPECT_EQ(digest.sum, 0x1a9ab03f6c1b591fu) << std::hex << digest.sum;
}

}  // namespace
