// The object manager: a level's objects with dense ids and failures counted, the commands and their lines, the draw
// light by light, one copy of each file shared until it changes on disk (a model handed in standing for its file),
// and "_SCALE_" (malformed ones refused).
#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "../scene_fixture.h"
#include "formats/x_model.h"
#include "platform/file_io.h"
#include "scene/static_c_object.h"

namespace {

using namespace krovane::gfx;
using namespace krovane::test;
using P = std::array<float, 3>;

struct ObjectManager : SceneFixture<> {
    void SetUp() override {
        for (const char* n : {"a", "b", "c"})
            writeFile(std::string("objects/") + n + ".DR", std::string("_NAME_ { ") + n + " }");
    }
    std::uint32_t add(const char* path, float x = 0) { return objects.AddObject(path, x, 0, 0, 0, 0, 0); }
    // The x of each world transform set: one per object drawn.
    std::vector<float> renders() {
        std::vector<float> xs;
        for (const auto& c : device->calls())
            if (c.op == DeviceOp::SetTransform && c.args[0] == static_cast<std::uint32_t>(TransformState::World))
                xs.push_back(c.matrix->m[3][0]);
        device->clearCalls();
        return xs;
    }
};

const LoggedLine kCorrupted{"[!] Object File is corrupted and parameters are not loaded!", "_ERROR_"};

TEST_F(ObjectManager, ALevelsObjectsTakeDenseIdsAndFailuresAreCounted) {
    writeFile("level.DR", R"(_OBJECTS_ {
        one   { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\a.DR } _POSITION_ { 1 0 0 } _ROTATION_ { 0 0 0 } }
        two   { _OBJECT_PATH_ { objects\missing.DR } _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _POSITION_ { 2 0 0 } }
        light { _OBJECT_TYPE_ { _OBJECT_LIGHT_ } _OBJECT_PATH_ { objects\c.DR } }
        three { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\b.DR } _POSITION_ { 3 0 0 } } })");
    objects.LoadObjects(krovane::scene::readLevel("level.DR"));
    EXPECT_EQ(lines(),
              (std::vector<LoggedLine>{{"[O.F.] objects\\a.DR", "_TEXT_"},
                                       {"[O.F.] objects\\missing.DR", "_TEXT_"},
                                       kCorrupted,
                                       {"no such file", "_ERROR_"},
                                       {"[O.F.] objects\\b.DR", "_TEXT_"},
                                       {"Object Manager setup completed with 1 errors and 2 objects.", "_COMMENT_"}}));
    EXPECT_EQ(objects.lastId(), 2u);  // as many as there are: failed objects take no number
    EXPECT_EQ(objects.entry(2)->path, "objects\\b.DR");
    EXPECT_EQ(objects.objectCount(), 2u);
    EXPECT_EQ(objects.errors(), 1u);
    objects.LoadObjects(krovane::scene::readLevel("none.DR"));  // errors are counted per setup, objects all there are
    EXPECT_EQ(lines().back(), (LoggedLine{"Object Manager setup completed with 0 errors and 2 objects.", "_COMMENT_"}));
}

TEST_F(ObjectManager, CommandsAndTheirLines) {
    add("objects\\a.DR", 5);
    add("objects\\b.DR");
    for (const char* command :
         {"object.visible 2 0", "show.list", "object.visible 2 7", "object.visible 2", "object.visible 9 1",
          "object.nothing 1 1", "load.OBJECT_SIMPLE objects\\c.DR", "load.OBJECT_SIMPLE objects\\none.DR"})
        objects.ExecuteCommand(command);
    const std::vector<LoggedLine> expected = {
        {"[O.F.] objects\\a.DR", "_TEXT_"}, {"[O.F.] objects\\b.DR", "_TEXT_"},
        {"[Object] id: 2  visible(changed): 0", "_SYSTEM_"}, {"id:1  visible:1  file:objects\\a.DR", "_SYSTEM_"},
        {"id:2  visible:0  file:objects\\b.DR", "_SYSTEM_"}, {"[Object] id: 2  visible(changed): 1", "_SYSTEM_"},
        {"What are you mean?)", "_ERROR_"}, {"[O.F.] objects\\c.DR", "_TEXT_"}, {"[O.F.] objects\\none.DR", "_TEXT_"},
        kCorrupted, {"no such file", "_ERROR_"}};  // and no summary
    EXPECT_EQ(lines(), expected);
    EXPECT_EQ(objects.lastId(), 3u);
    EXPECT_EQ(objects.errors(), 1u);
    EXPECT_TRUE(objects.entry(3)->visible);
}

TEST_F(ObjectManager, EveryVisibleObjectIsDrawnOncePerLightLightByLight) {
    for (float x : {1.0f, 2.0f, 3.0f}) add(x == 2 ? "objects\\b.DR" : "objects\\a.DR", x);
    device->BeginScene();
    device->clearCalls();
    objects.RenderAll();
    EXPECT_TRUE(renders().empty());  // no lights, nothing drawn
    lights.LoadLights(parse("_LIGHTS_ { sun moon }"));
    objects.RenderAll();
    EXPECT_EQ(renders(), (std::vector<float>{1, 2, 3, 1, 2, 3}));
    objects.ExecuteCommand("object.visible 2 0");
    objects.RenderAll();
    EXPECT_EQ(renders(), (std::vector<float>{1, 3, 1, 3}));
}

TEST_F(ObjectManager, ObjectsNamingOneFileShareOneCopyUntilItChangesOnDisk) {
    writeFile("models/m.x", squareModel({"t.bmp"}));
    writeBmp("textures/t.bmp", 0x336699);
    writeFile("objects/m.DR", "_MODEL_FILE_ { models\\m.x }");
    writeFile("objects/lost.DR", "_MODEL_FILE_ { models\\none.x }");
    for (const char* path : {"objects\\m.DR", "objects\\lost.DR", "objects\\m.DR", "objects\\lost.DR"}) add(path);
    // A missing model is tried again each time, says why, and its object still loads.
    const LoggedLine missing{"[M.F] cannot find: models\\none.x", "_ERROR_"},
        why{"models\\none.x: no such file", "_ERROR_"};
    for (std::size_t at : {2u, 6u}) EXPECT_EQ((std::vector{lines()[at], lines()[at + 1]}), (std::vector{missing, why}));
    EXPECT_EQ(object(2).mesh(), nullptr);
    ASSERT_NE(object(1).mesh(), nullptr);
    ASSERT_NE(object(1).texture(0), nullptr);
    EXPECT_EQ(object(3).params.get(), object(1).params.get());
    EXPECT_EQ(object(3).shared(), object(1).shared());  // the model, materials, textures and effects: once per file

    namespace fs = std::filesystem;
    // Each file read as before after it changed: one byte longer, newer, or replaced by a copy that keeps its
    // size and time (as cp -p, rsync -t and tar leave it).
    const std::pair<const char*, void (*)(const char*)> ways[] = {
        {"longer", [](const char* file) { std::ofstream(file, std::ios::app) << "\n"; }},
        {"newer",
         [](const char* file) { fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(2)); }},
        {"replaced", [](const char* file) {
             fs::copy_file(file, "copy");
             fs::last_write_time("copy", fs::last_write_time(file));
             fs::rename("copy", file);
         }}};
    for (const auto& [how, change] : ways) {
        const std::uint32_t first = objects.lastId();
        for (const char* file : {"models/m.x", "textures/t.bmp", "objects/m.DR"}) change(file);
        const std::uint32_t changed = add("objects\\m.DR");
        ASSERT_NE(object(changed).mesh(), nullptr);
        EXPECT_NE(object(changed).mesh(), object(1).mesh()) << how;
        EXPECT_NE(object(changed).texture(0), object(1).texture(0));
        EXPECT_NE(object(changed).params.get(), object(1).params.get());
        EXPECT_NE(object(changed).mesh(), object(first).mesh());
    }
    // Only the texture changed: the parameter file is shared still, what it made is not.
    const std::uint32_t last = objects.lastId();
    std::ofstream("textures/t.bmp", std::ios::app) << "\n";
    const std::uint32_t retextured = add("objects\\m.DR");
    EXPECT_EQ(object(retextured).params.get(), object(last).params.get());
    EXPECT_NE(object(retextured).texture(0), object(last).texture(0));
    EXPECT_EQ(object(add("objects\\m.DR")).shared(), object(retextured).shared());
}

TEST_F(ObjectManager, AModelHandedInStandsForItsFileWhileTheFileIsAsItWas) {
    writeFile("objects/m.DR", "_MODEL_FILE_ { models\\m.x }");
    for (const bool changed : {false, true}) {
        writeFile("models/m.x", squareModel({}));
        krovane::formats::XModel handed;  // twice as wide as the file's: a mesh made from it is told apart
        std::string error;
        ASSERT_TRUE(krovane::formats::loadXModel("models\\m.x", handed, error));
        for (krovane::formats::XVertex& v : handed.vertices) v.position[0] *= 2;
        krovane::platform::FileStamp stamp;
        krovane::platform::fileStamp("models/m.x", stamp);
        objects.adoptModel("models\\m.x", std::move(handed), stamp);
        if (changed) std::ofstream("models/m.x", std::ios::app) << "\n";
        const std::uint32_t id = add("objects\\m.DR"), again = add("objects\\m.DR");
        ASSERT_NE(object(id).mesh(), nullptr);
        EXPECT_EQ(object(id).mesh()->boundsMax().x, changed ? 1 : 2) << changed;
        EXPECT_EQ(object(again).mesh(), object(id).mesh());  // kept under the file's stamp: not read again
    }
}

TEST_F(ObjectManager, AScaleResizesTheModelBeforeItIsPlacedAndTurned) {
    writeFile("models/m.x", squareModel({""}));
    writeFile("objects/m.DR", "_MODEL_FILE_ { models\\m.x }");
    const std::string entry =
        "_OBJECTS_ { m { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\m.DR } "
        "_POSITION_ { 10 0 0 } _ROTATION_ { 0 90 0 } ";
    const LoggedLine bad{"[S.F] bad _SCALE_ (1 or 3 numbers above 0), left unscaled: objects\\m.DR", "_ERROR_"};
    // Where the model's corner (1, 1, 0) lands, placed at (10, 0, 0) and turned 90 degrees about y (to 1e-4), and
    // whether the scale was refused.
    const auto place = [&](const std::string& scale) {
        const std::size_t from = lines().size();
        level(entry + scale + " } }");
        const Vector3 c = transformCoord({1, 1, 0}, object(objects.lastId()).world);
        const std::vector<LoggedLine> said = lines(from);
        const auto round = [](float v) { return std::round(v * 1e4f) / 1e4f; };
        return std::pair(P{round(c.x), round(c.y), round(c.z)}, std::count(said.begin(), said.end(), bad) == 1);
    };
    const std::pair<const char*, P> taken[] = {{"", {0, 1, -11}},  // no key: as ever
                                               {"_SCALE_ { 2 }", {0, 2, -12}},
                                               {"_SCALE_ { 2 3 4 }", {0, 3, -12}},
                                               {"_SCALE_ { 0.5e1 }", {0, 5, -15}}};
    for (const auto& [scale, corner] : taken) EXPECT_EQ(place(scale), std::pair(corner, false)) << scale;
    for (const char* scale : {"_SCALE_ { 0 }", "_SCALE_ { -2 }", "_SCALE_ { 2x }", "_SCALE_ { inf }", "_SCALE_ { 1 2 }",
                              "_SCALE_ { 1 2 3 4 }", "_SCALE_ { }", "_SCALE_ { 2 { 3 } }"})
        EXPECT_EQ(place(scale), std::pair(P{0, 1, -11}, true)) << scale;
}

}  // namespace
