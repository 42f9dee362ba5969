// Static objects: loading the parameter file, the model and its materials,
// the texture fallbacks one by one with their messages, the effect count, the
// world matrix, and what Render issues on the recording device, through the
// fixed-function pipeline and through effects; hostile pictures in every form.
#include <gtest/gtest.h>
#include <stb_image_write.h>  // the PNG and JPEG pictures the hostile ones are made from
#include <zlib.h>             // the checksums of damaged PNG chunks

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "../level_files.h"
#include "../logged_lines.h"
#include "../temp_dir.h"
#include "console/console_log.h"
#include "gfx/geometry.h"
#include "gfx/recording_device.h"
#include "platform/clock.h"
#include "scene/krovane_camera_manager.h"
#include "scene/krovane_effect_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/static_c_object.h"

namespace {

using namespace krovane::gfx;
using krovane::test::LoggedLine;
using krovane::test::loggedMessages;
using krovane::test::writeBmp;
using krovane::test::writeFile;

class StaticObject : public ::testing::Test {
protected:
    StaticObject() {
        krovane::platform::Clock::setManualTicks(0);
    }
    ~StaticObject() override {
        krovane::platform::Clock::useRealTime();
    }
    std::unique_ptr<Static_CObject> make(const char* file) {
        return std::make_unique<Static_CObject>(&kIdentityMatrix, file, device.get(), &effects, &lights, &console);
    }
    std::vector<LoggedLine> lines() { return loggedMessages(console); }

    krovane::test::TempDir dir;
    Ref<RecordingDevice> device = RecordingDevice::create();
    ConsoleLog console;
    Krovane_Camera_Manager cameras{&console};
    Krovane_Light_Manager lights{console};
    Krovane_Effect_Manager effects{device.get(), console, cameras};
};

TEST_F(StaticObject, OnlyAMissingOrMalformedParameterFileIsCorrupted) {
    // An empty file, or one of comments only, is an object with nothing in it.
    struct Case {
        const char* content;  // null: no file
        bool loads;
    };
    for (const Case& c : {Case{nullptr, false}, Case{"_FX_ { a } }", false}, Case{"", true},
                          Case{"# only a comment\n\n   # and another\n", true}}) {
        std::filesystem::remove("objects/a.DR");
        if (c.content) writeFile("objects/a.DR", c.content);
        const char* name = c.content ? c.content : "no file";
        const std::size_t before = lines().size();
        auto object = make("objects\\a.DR");
        EXPECT_EQ(object->Load(), c.loads) << name;
        std::vector<LoggedLine> logged = lines();
        logged.erase(logged.begin(), logged.begin() + static_cast<std::ptrdiff_t>(before));
        if (c.loads) {
            EXPECT_TRUE(logged.empty()) << name;
        } else {
            ASSERT_FALSE(logged.empty()) << name;
            EXPECT_EQ(logged[0], (LoggedLine{"[!] Object File is corrupted and parameters are not loaded!", "_ERROR_"}));
        }
        EXPECT_EQ(object->mesh(), nullptr);
        EXPECT_EQ(object->effectCount(), 0u);
    }
}

TEST_F(StaticObject, AMissingModelIsReportedAndTheObjectStillLoads) {
    writeFile("objects/a.DR", "_MODEL_FILE_ { models\\none.x } _FX_ { one two }");
    auto object = make("objects\\a.DR");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(object->Load());
    EXPECT_EQ(testing::internal::GetCapturedStderr().rfind("model: models\\none.x: ", 0), 0u);  // and why, for the user
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"[M.F] cannot find: models\\none.x", "_ERROR_"}}));
    EXPECT_EQ(object->mesh(), nullptr);
    EXPECT_EQ(object->materialCount(), 0u);
    EXPECT_EQ(object->effectCount(), 2u);
    EXPECT_EQ(std::string(object->GetEffectName(2).getChars()), "two");
    EXPECT_EQ(std::string(object->GetEffectName(3).getChars()), "");
}

TEST_F(StaticObject, WithoutModelOrEffectsNothingIsPrinted) {
    writeFile("objects/a.DR", "_NAME_ { plain }");
    auto object = make("objects\\a.DR");
    EXPECT_TRUE(object->Load());
    EXPECT_TRUE(lines().empty());
    EXPECT_EQ(object->effectCount(), 0u);
}

TEST_F(StaticObject, TexturesFallBackOneByOneAndOnlyTheLastResortIsReported) {
    // Five materials: the texture as named, under textures\, by its file name
    // beside the model, none found at all, and no texture.
    writeFile("models/square.x",
              krovane::test::squareModel({"here.bmp", "there.bmp", "C:\\\\art\\\\wood.bmp", "lost.bmp", ""}));
    writeBmp("here.bmp", 0xFF0000);
    writeBmp("textures/there.bmp", 0x00FF00);
    writeBmp("models/wood.bmp", 0x0000FF);
    writeFile("objects/a.DR", "_MODEL_FILE_ { models\\square.x }");
    auto object = make("objects\\a.DR");
    ASSERT_TRUE(object->Load());
    ASSERT_NE(object->mesh(), nullptr) << "the model did not load";
    ASSERT_EQ(object->materialCount(), 5u);
    EXPECT_NE(object->texture(0), nullptr);
    EXPECT_NE(object->texture(1), nullptr);
    EXPECT_NE(object->texture(2), nullptr);
    EXPECT_EQ(object->texture(3), nullptr);
    EXPECT_EQ(object->texture(4), nullptr);
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"[T.F] cannot find: lost.bmp", "_ERROR_"}}));

    // With the default picture there, the lost texture gets it silently.
    writeBmp("textures/_def/def.bmp", 0xFFFFFF);
    auto second = make("objects\\a.DR");
    ASSERT_TRUE(second->Load());
    EXPECT_NE(second->texture(3), nullptr);
    EXPECT_EQ(second->texture(4), nullptr);
    EXPECT_EQ(lines().size(), 1u);
}

// A picture encoded by stb_image_write into memory.
template <typename Write>
std::string encoded(Write write) {
    std::string out;
    write([](void* context, void* data, int size) {
        static_cast<std::string*>(context)->append(static_cast<const char*>(data), static_cast<std::size_t>(size));
    }, &out);
    return out;
}

void put32(std::string& s, std::size_t at, std::uint32_t v, bool bigEndian = false) {
    for (int i = 0; i < 4; ++i) s[at + static_cast<std::size_t>(i)] = static_cast<char>(v >> (bigEndian ? 24 - 8 * i : 8 * i));
}

// Recomputes the checksum of the PNG chunk at `at` after its data was changed.
void fixPngChunk(std::string& png, std::size_t at) {
    const std::uint32_t length = static_cast<std::uint8_t>(png[at + 3]) | static_cast<std::uint8_t>(png[at + 2]) << 8;
    const auto* bytes = reinterpret_cast<const Bytef*>(png.data() + at + 4);
    put32(png, at + 8 + length, static_cast<std::uint32_t>(crc32(0, bytes, 4 + length)), true);
}

TEST_F(StaticObject, HostilePicturesAreRefusedLikeMissingOnesAndLoadingGoesOn) {
    std::vector<unsigned char> rgba(32 * 32 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<unsigned char>(i * 7);
    const std::string png = encoded([&](auto f, void* c) { stbi_write_png_to_func(f, c, 32, 32, 4, rgba.data(), 128); });
    const std::string jpg = encoded([&](auto f, void* c) { stbi_write_jpg_to_func(f, c, 32, 32, 4, rgba.data(), 90); });
    const std::string tga(18, '\0');
    std::string bmp, hugeBmp, rleBmp, hugePng = png, badPng = png, hugeJpg = jpg, badJpg = jpg, hugeTga = tga, rleTga = tga;
    writeBmp("fine.bmp", 0x808080);
    {
        std::ifstream in("fine.bmp", std::ios::binary);
        bmp.assign(std::istreambuf_iterator<char>(in), {});
    }
    hugeBmp = rleBmp = bmp;
    put32(hugeBmp, 18, 100000);
    put32(rleBmp, 30, 1);                       // run-length coded
    put32(hugePng, 16, 9000, true);             // IHDR width
    fixPngChunk(hugePng, 8);
    const std::size_t idat = png.find("IDAT") - 4;
    for (std::size_t i = idat + 10; i < idat + 30; ++i) badPng[i] = static_cast<char>(badPng[i] ^ 0x5A);
    fixPngChunk(badPng, idat);
    const std::size_t sof = jpg.find("\xFF\xC0") + 5;  // SOF0: precision, then height and width
    hugeJpg[sof] = hugeJpg[sof + 2] = '\x7F';
    badJpg.replace(jpg.find("\xFF\xDA") + 20, 4, "\xFF\xD0\xFF\xD7");  // markers inside the coded data
    hugeTga[2] = 2, hugeTga[12] = hugeTga[14] = '\x28', hugeTga[13] = hugeTga[15] = '\x23', hugeTga[16] = 32;
    rleTga[2] = 10, rleTga[12] = rleTga[14] = 4, rleTga[16] = 32;
    std::string dds(128, '\0');
    dds.replace(0, 4, "DDS ");
    put32(dds, 4, 124);
    put32(dds, 12, 4), put32(dds, 16, 4), put32(dds, 76, 32), put32(dds, 80, 0x41), put32(dds, 88, 32);

    struct Case {
        const char* name;
        std::string bytes;
    };
    const std::vector<Case> cases = {
        {"cut.bmp", bmp.substr(0, 60)},
        {"huge.bmp", hugeBmp},
        {"rle.bmp", rleBmp},
        {"cut.png", png.substr(0, png.size() / 2)},
        {"huge.png", hugePng},
        {"damaged.png", badPng},
        {"cut.jpg", jpg.substr(0, jpg.size() / 2)},
        {"huge.jpg", hugeJpg},
        {"damaged.jpg", badJpg},
        {"cut.tga", std::string(tga).replace(2, 1, "\x02").replace(12, 1, "\x04").replace(14, 1, "\x04").replace(16, 1, "\x20") + "abc"},
        {"huge.tga", hugeTga},
        {"damaged.tga", rleTga + "\x03" + "abcdabcd"},  // a raw packet of 4 pixels holding 2
        {"cut.dds", dds + "abc"},
        {"huge.dds", std::string(dds).replace(12, 4, "\x00\x00\x01\x00", 4)},
        {"deep.ppm", std::string("P6\n8 8\n65535\n") + std::string(384, '\xFF')},  // a form no longer taken
    };
    std::vector<std::string_view> names;
    std::vector<LoggedLine> expected;
    for (const Case& c : cases) {
        writeFile(c.name, c.bytes);
        names.push_back(c.name);
        expected.push_back({std::string("[T.F] cannot find: ") + c.name, "_ERROR_"});
    }
    names.push_back("fine.bmp");
    writeFile("models/square.x", krovane::test::squareModel(names));
    writeFile("objects/a.DR", "_MODEL_FILE_ { models\\square.x }");
    auto object = make("objects\\a.DR");
    ASSERT_TRUE(object->Load());
    ASSERT_EQ(object->materialCount(), cases.size() + 1);
    for (std::uint32_t i = 0; i < cases.size(); ++i) EXPECT_EQ(object->texture(i), nullptr) << cases[i].name;
    EXPECT_NE(object->texture(static_cast<std::uint32_t>(cases.size())), nullptr);  // the good one after them
    EXPECT_EQ(lines(), expected);
}

TEST_F(StaticObject, MaterialsTakeTheirAmbientFromDiffuse) {
    writeFile("models/square.x", krovane::test::squareModel({"", ""}));
    writeFile("objects/a.DR", "_MODEL_FILE_ { models\\square.x }");
    auto object = make("objects\\a.DR");
    ASSERT_TRUE(object->Load());
    ASSERT_EQ(object->materialCount(), 2u);
    for (std::uint32_t i = 0; i < 2; ++i) {
        const Material& m = object->material(i);
        EXPECT_EQ(m.ambient.r, m.diffuse.r);
        EXPECT_EQ(m.ambient.g, m.diffuse.g);
        EXPECT_EQ(m.ambient.b, m.diffuse.b);
        EXPECT_EQ(m.ambient.a, m.diffuse.a);
        EXPECT_FLOAT_EQ(m.power, 12.0f);
    }
    EXPECT_FLOAT_EQ(object->material(1).diffuse.r, 0.2f);
}

TEST_F(StaticObject, TheWorldMatrixPlacesFirstThenTurnsAboutTheWorldAxes) {
    writeFile("objects/a.DR", "_NAME_ { plain }");
    auto turned = make("objects\\a.DR");
    turned->position[0] = 10;
    turned->rotation[1] = 90;
    ASSERT_TRUE(turned->Load());
    const Vector3 origin = transformCoord({0, 0, 0}, turned->world);
    EXPECT_NEAR(origin.x, 0.0f, 1e-5f);
    EXPECT_NEAR(origin.y, 0.0f, 1e-5f);
    EXPECT_NEAR(origin.z, -10.0f, 1e-5f);

    auto tilted = make("objects\\a.DR");
    tilted->rotation[0] = 90;
    ASSERT_TRUE(tilted->Load());
    const Matrix expected = rotationX(3.14159265f / 2);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(tilted->world.m[r][c], expected.m[r][c], 1e-6f);

    // A file without nodes leaves the base matrix, whatever the placement.
    auto untouched = make("objects\\a.DR");
    untouched->position[0] = 5;
    EXPECT_EQ(untouched->world.m[3][0], 0.0f);
}

TEST_F(StaticObject, WithoutEffectsTheSubsetsAreDrawnFixedFunction) {
    writeFile("models/square.x", krovane::test::squareModel({"", ""}));
    writeFile("objects/a.DR", "_MODEL_FILE_ { models\\square.x }");
    auto object = make("objects\\a.DR");
    ASSERT_TRUE(object->Load());
    device->clearCalls();
    device->BeginScene();
    object->Render(1, true);
    std::vector<DeviceOp> ops;
    for (const auto& c : device->calls())
        if (c.op != DeviceOp::SetFVF && c.op != DeviceOp::SetStreamSource && c.op != DeviceOp::SetIndices &&
            c.op != DeviceOp::BeginScene)
            ops.push_back(c.op);
    EXPECT_EQ(ops, (std::vector<DeviceOp>{DeviceOp::SetTransform, DeviceOp::SetMaterial, DeviceOp::SetTexture,
                                          DeviceOp::DrawIndexedPrimitive, DeviceOp::SetMaterial, DeviceOp::SetTexture,
                                          DeviceOp::DrawIndexedPrimitive}));
    for (const auto& c : device->calls())
        if (c.op == DeviceOp::DrawIndexedPrimitive) {
            EXPECT_EQ(c.result, kOk);
            EXPECT_EQ(c.args[5], 1u);  // one triangle per subset
        }
}

constexpr const char* kEffect = R"(
uniform vec4 View_Pos; uniform mat4 mat_World_View_Proj; uniform mat4 matWorld;
uniform vec4 LightPos; uniform vec4 LightColor; uniform float LightFalloff; uniform float LightSpecular;
uniform float LightSpecular_Itens; uniform float LightAmbient; uniform float Attenuation;
vertex VS { void main() { gl_Position = mat_World_View_Proj * vec4(inPosition, 1.0); } }
fragment PS { out vec4 c; void main() { c = LightColor; } }
technique vek_Phong { pass P0 { VertexShader = VS; PixelShader = PS; } }
technique vek_Phong_alpha { pass P0 { VertexShader = VS; PixelShader = PS; AlphaBlendEnable = true; } }
)";

TEST_F(StaticObject, ThroughAnEffectTheParametersComeInOrderThenThePasses) {
    writeFile("fx/a.fx", kEffect);
    writeFile("level.DR",
              "_CAMERAS_ { cam { _POSITION_ { 3 4 5 } _LOOK_ { 0 0 0 } } }"
              "_LIGHTS_ { sun { _POSITION_ { 1 2 3 } _COLOR_ { 0.5 0.25 1 } _FALLOFF_ { 77 } } "
              "           moon { _POSITION_ { 9 9 9 } } }"
              "_EFFECTS_ { A { _FILE_FX_ { fx\\a.fx } _FILE_ { none } } }");
    cameras.SetupFromFile("level.DR");
    lights.SetupFromFile("level.DR");
    effects.SetupFromFile("level.DR");
    cameras.CurrentCamera()->ApplyTransforms(device.get());
    writeFile("models/square.x", krovane::test::squareModel({""}));
    writeFile("objects/a.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { A missing }");
    auto object = make("objects\\a.DR");
    object->position[0] = 2;
    ASSERT_TRUE(object->Load());

    device->clearCalls();
    device->BeginScene();
    object->Render(2, false);
    std::vector<std::string> seen;
    for (const auto& c : device->calls()) {
        switch (c.op) {
            case DeviceOp::EffectSetVector:
            case DeviceOp::EffectSetMatrix:
            case DeviceOp::EffectSetFloat:
            case DeviceOp::EffectSetTechnique:
                seen.push_back(c.name);
                break;
            case DeviceOp::EffectBegin:
                seen.push_back("Begin");
                break;
            case DeviceOp::EffectBeginPass:
                seen.push_back("BeginPass");
                break;
            case DeviceOp::EffectEndPass:
                seen.push_back("EndPass");
                break;
            case DeviceOp::EffectEnd:
                seen.push_back("End");
                break;
            case DeviceOp::DrawIndexedPrimitive:
                seen.push_back("draw");
                break;
            default:
                break;
        }
    }
    // Through A with the second light, then "missing" fixed-function.
    EXPECT_EQ(seen, (std::vector<std::string>{"View_Pos", "mat_World_View_Proj", "matWorld", "LightPos", "LightColor",
                                              "LightFalloff", "LightSpecular", "LightSpecular_Itens", "LightAmbient",
                                              "Attenuation", "vek_Phong_alpha", "Begin", "BeginPass", "draw", "EndPass",
                                              "End", "draw"}));
    const auto& calls = device->calls();
    const auto find = [&](const char* name) {
        for (const auto& c : calls)
            if (c.name == name) return c;
        ADD_FAILURE() << name;
        return calls.front();
    };
    EXPECT_EQ(find("View_Pos").values[0], 3.0f);
    EXPECT_EQ(find("View_Pos").values[3], 1.0f);
    EXPECT_EQ(find("LightPos").values[0], 9.0f);  // the second light
    EXPECT_EQ(find("LightPos").values[3], 1.0f);
    const Matrix wvp =
        multiply(multiply(object->world, cameras.CurrentCamera()->view), cameras.CurrentCamera()->projection);
    EXPECT_EQ(find("mat_World_View_Proj").matrix->m[3][2], wvp.m[3][2]);
    EXPECT_EQ(find("matWorld").matrix->m[3][0], 2.0f);

    // The first light's values and technique.
    device->clearCalls();
    object->Render(1, true);
    EXPECT_EQ(find("LightFalloff").values[0], 77.0f);
    EXPECT_EQ(find("LightColor").values[1], 0.25f);
    EXPECT_EQ(find("LightColor").values[3], 1.0f);
    bool firstTechnique = false;
    for (const auto& c : device->calls())
        firstTechnique = firstTechnique || (c.op == DeviceOp::EffectSetTechnique && c.name == "vek_Phong");
    EXPECT_TRUE(firstTechnique);
}

// View culling: an object whose box lies wholly outside the camera's view
// volume is not drawn; one partly inside is. Through an effect the camera's
// own matrices decide (the device's are still the identity here, as before
// the camera applies them), fixed-function the device's transforms.
TEST_F(StaticObject, ObjectsWhollyOutsideTheViewAreNotDrawn) {
    writeFile("fx/a.fx", kEffect);
    writeFile("level.DR",
              "_CAMERAS_ { cam { _POSITION_ { 0 0 0 } _LOOK_ { 0 0 1 } } }"
              "_LIGHTS_ { sun { _POSITION_ { 0 5 0 } } }"
              "_EFFECTS_ { A { _FILE_FX_ { fx\\a.fx } _FILE_ { none } } }");
    cameras.SetupFromFile("level.DR");
    lights.SetupFromFile("level.DR");
    effects.SetupFromFile("level.DR");
    writeFile("models/square.x", krovane::test::squareModel({""}));
    writeFile("objects/fx.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { A }");
    writeFile("objects/plain.DR", "_MODEL_FILE_ { models\\square.x }");
    // The view reaches 10 * tan(pi / 8) * 4 / 3 = 5.52 to either side at depth 10.
    const struct {
        const char* file;
        float x, z;
        bool drawn;
    } cases[] = {
        {"objects\\fx.DR", 0, 10, true},         {"objects\\fx.DR", 0, -10, false},  // behind the camera
        {"objects\\fx.DR", -5.5f, 10, true},     {"objects\\fx.DR", -8, 10, false},  // half in view; wholly left
        {"objects\\fx.DR", 0, 20000, false},     {"objects\\plain.DR", 0, 10, true},
        {"objects\\plain.DR", 0, -10, false},    {"objects\\plain.DR", 6, 10, true},
    };
    for (const auto& c : cases) {
        auto object = make(c.file);
        object->position[0] = c.x;
        object->position[2] = c.z;
        ASSERT_TRUE(object->Load());
        const bool plain = std::string(c.file).find("plain") != std::string::npos;
        if (plain) cameras.CurrentCamera()->ApplyTransforms(device.get());
        device->clearCalls();
        device->BeginScene();
        object->Render(1, true);
        device->EndScene();
        int draws = 0;
        for (const auto& call : device->calls()) draws += call.op == DeviceOp::DrawIndexedPrimitive;
        EXPECT_EQ(draws, c.drawn ? 1 : 0) << c.file << " at x " << c.x << ", z " << c.z;
    }
}

}  // namespace
