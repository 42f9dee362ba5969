// Static objects: the parameter file, the texture fallbacks with their messages, culling, and effects found late.
// (The materials, the world matrix and every value handed to an effect are the golden frame's.)
#include <cstring>
#include <tuple>

#include "../scene_fixture.h"

namespace {

using namespace krovane::gfx;
using namespace krovane::test;

struct StaticObject : SceneFixture<> {
    std::unique_ptr<Static_CObject> make(const char* file, float x = 0, float z = 0) {
        auto object = std::make_unique<Static_CObject>(&kIdentityMatrix, file, device.get(), &effects, &lights, log);
        object->position[0] = x;
        object->position[2] = z;
        return object;
    }
    std::unique_ptr<Static_CObject> load(const std::string& model, const char* extra = "", float x = 0) {
        writeFile("models/square.x", model);
        writeFile("objects/a.DR", std::string("_MODEL_FILE_ { models\\square.x } ") + extra);
        auto object = make("objects\\a.DR", x);
        EXPECT_TRUE(object->Load());
        return object;
    }
};

// An empty parameter file is no corrupted one (a missing or malformed one is: the object manager's and the reload
// test's); textures fall back one by one.
TEST_F(StaticObject, AnEmptyParameterFileLoadsAndTexturesFallBackOneByOneOnlyTheLastResortReported) {
    for (const char* content : {"", "# only a comment\n\n   # and another\n"}) {
        writeFile("objects/a.DR", content);
        EXPECT_TRUE(make("objects\\a.DR")->Load()) << content;  // and says nothing: the lines below are all there are
    }
    // As named, under textures\, by its file name beside the model, nowhere, none; a picture that does not decode
    // is reported like a missing one, and loading goes on.
    writeBmp("here.bmp", 0xFF0000);
    writeFile("cut.bmp", bmp(0x808080).substr(0, 60));
    writeBmp("textures/there.bmp", 0x00FF00);
    writeBmp("models/wood.bmp", 0x0000FF);
    const std::string model =
        squareModel({"here.bmp", "there.bmp", "C:\\\\art\\\\wood.bmp", "lost.bmp", "", "cut.bmp", "here.bmp"});
    auto object = load(model);
    const auto found = [](const Static_CObject& o) {
        std::vector<bool> out;
        for (std::uint32_t i = 0; i < o.materialCount(); ++i) out.push_back(o.texture(i) != nullptr);
        return out;
    };
    EXPECT_EQ(found(*object), (std::vector<bool>{true, true, true, false, false, false, true}));
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"[T.F] cannot find: lost.bmp", "_ERROR_"},
                                                {"[T.F] cannot find: cut.bmp", "_ERROR_"}}));
    writeBmp("textures/_def/def.bmp", 0xFFFFFF);  // with the default picture, the lost ones get it silently
    EXPECT_EQ(found(*load(model)), (std::vector<bool>{true, true, true, true, false, true, true}));
    EXPECT_EQ(lines().size(), 2u);
}

struct Drawing : StaticObject {
    // Renders `object` for one light, leaving its calls on the device: the number of draws.
    long render(Static_CObject& object, unsigned light, bool first) {
        device->clearCalls();
        device->BeginScene();
        object.Render(light, first);
        return std::count_if(device->calls().begin(), device->calls().end(),
                             [](const RecordedCall& c) { return c.op == DeviceOp::DrawIndexedPrimitive; });
    }
    // The effect call of that parameter or technique name, null when there was none.
    const RecordedCall* call(std::string_view name) {
        for (const auto& c : device->calls())
            if (c.name == name) return &c;
        return nullptr;
    }
};

// An object whose box lies wholly outside the view volume is not drawn: through an effect by the camera's matrices
// (the device's are still the identity), fixed-function by the device's. The view reaches 5.52 to either side at 10.
// A technique may say that its vertex stage moves vertices: its objects are never culled by their model's box.
TEST_F(Drawing, ObjectsWhollyOutsideTheViewAreNotDrawn) {
    std::string sky = kLitEffect;
    sky.replace(sky.find("technique vek_Phong {") + 21, 0, " BoundsCulling = false;");
    writeFile("fx/sky.fx", sky);
    writeFile("fx/a.fx", kLitEffect);
    level(
        "_CAMERAS_ { cam { _LOOK_ { 0 0 1 } } } _LIGHTS_ { sun }"
        "_EFFECTS_ { A { _FILE_FX_ { fx\\a.fx } } Sky { _FILE_FX_ { fx\\sky.fx } } }");
    load(squareModel({""}), "_FX_ { A }");
    writeFile("objects/plain.DR", "_MODEL_FILE_ { models\\square.x }");
    writeFile("objects/sky.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { Sky }");
    // File, x, z, first light, drawn.
    const std::tuple<const char*, float, float, bool, bool> cases[] = {
        {"objects\\a.DR", 0, 10, true, true},       {"objects\\a.DR", 0, -10, true, false},  // behind the camera
        {"objects\\a.DR", -5.5f, 10, true, true},   {"objects\\a.DR", -8, 10, true, false},  // half in; wholly left
        {"objects\\a.DR", 0, 20000, true, false},   {"objects\\plain.DR", 0, 10, true, true},
        {"objects\\plain.DR", 0, -10, true, false}, {"objects\\plain.DR", 6, 10, true, true},
        {"objects\\sky.DR", 0, -10, true, true},    {"objects\\sky.DR", 0, -10, false, false}};  // further: culled
    for (const auto& [file, x, z, first, drawn] : cases) {
        auto object = make(file, x, z);
        ASSERT_TRUE(object->Load());
        if (std::strstr(file, "plain")) cameras.CurrentCamera()->ApplyTransforms(device.get());
        EXPECT_EQ(render(*object, 1, first), drawn) << file << " at x " << x << ", z " << z << ", first " << first;
    }
}

// Effects are found by name once, and again when the effect manager's list changes: an effect loaded after the
// object is drawn through from then on.
TEST_F(Drawing, EffectsLoadedAfterTheObjectAreFoundOnceTheListChanges) {
    writeFile("fx/a.fx", kLitEffect);
    auto object = load(squareModel({""}), "_FX_ { A }");
    EXPECT_EQ(render(*object, 1, true), 1);  // fixed-function
    EXPECT_EQ(call("View_Pos"), nullptr);
    effects.LoadEffects(parse("_EFFECTS_ { A { _FILE_FX_ { fx\\a.fx } } }"));
    EXPECT_EQ(render(*object, 1, true), 1);
    EXPECT_NE(call("View_Pos"), nullptr);
}

}  // namespace
