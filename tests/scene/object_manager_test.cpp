// The object manager: a level's objects with dense ids, failed loads counted,
// skipped types, the object commands and their exact lines, the draw walk
// light by light, removal, and one copy of each file shared by the objects.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
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
#include "scene/krovane_object_manager.h"
#include "scene/static_c_object.h"

namespace {

using namespace krovane::gfx;
using krovane::test::LoggedLine;
using krovane::test::loggedMessages;
using krovane::test::writeBmp;
using krovane::test::writeFile;

class ObjectManager : public ::testing::Test {
protected:
    ObjectManager() {
        krovane::platform::Clock::setManualTicks(0);
        writeFile("objects/a.DR", "_NAME_ { a }");
        writeFile("objects/b.DR", "_NAME_ { b }");
        writeFile("objects/c.DR", "_NAME_ { c }");
    }
    ~ObjectManager() override {
        objects.reset();
        krovane::platform::Clock::useRealTime();
    }
    std::vector<LoggedLine> lines() { return loggedMessages(console); }
    // The x of each world transform set, in order: one per Render call.
    std::vector<float> renders() {
        std::vector<float> xs;
        for (const auto& c : device->calls())
            if (c.op == DeviceOp::SetTransform && c.args[0] == static_cast<std::uint32_t>(TransformState::World))
                xs.push_back(c.matrix->m[3][0]);
        return xs;
    }
    void command(const char* text) { objects->ExecuteCommand(text); }
    const Static_CObject& object(std::uint32_t id) {
        return static_cast<const Static_CObject&>(*objects->entry(id)->object);
    }
    // The ids of the objects held, in list order.
    std::vector<std::uint32_t> ids() const {
        std::vector<std::uint32_t> found;
        objects->entries().forEach([&](std::uint32_t id, const auto&) { found.push_back(id); });
        return found;
    }
    // A model of one textured material, named by objects\\m.DR.
    void writeTexturedModel() {
        writeFile("models/m.x", krovane::test::squareModel({"t.bmp"}));
        writeBmp("textures/t.bmp", 0x336699);
        writeFile("objects/m.DR", "_MODEL_FILE_ { models\\m.x }");
    }

    krovane::test::TempDir dir;
    Ref<RecordingDevice> device = RecordingDevice::create();
    ConsoleLog console;
    Krovane_Camera_Manager cameras{&console};
    Krovane_Light_Manager lights{console};
    Krovane_Effect_Manager effects{device.get(), console, cameras};
    std::unique_ptr<Krovane_Object_Manager> objects =
        std::make_unique<Krovane_Object_Manager>(&kIdentityMatrix, device.get(), &console, &effects, &lights);
};

constexpr const char* kLevel = R"(_OBJECTS_ {
    one   { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\a.DR } _POSITION_ { 1 0 0 } _ROTATION_ { 0 0 0 } }
    two   { _OBJECT_PATH_ { objects\missing.DR } _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _POSITION_ { 2 0 0 } }
    light { _OBJECT_TYPE_ { _OBJECT_LIGHT_ } _OBJECT_PATH_ { objects\c.DR } }
    three { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\b.DR } _POSITION_ { 3 0 0 } }
})";

TEST_F(ObjectManager, ALevelsObjectsTakeDenseIdsAndFailuresAreCounted) {
    writeFile("level.DR", kLevel);
    EXPECT_TRUE(objects->SetupFromFile("level.DR"));
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{
                           {"[O.F.] objects\\a.DR", "_TEXT_"},
                           {"[O.F.] objects\\missing.DR", "_TEXT_"},
                           {"[!] Object File is corrupted and parameters are not loaded!", "_ERROR_"},
                           {"[O.F.] objects\\b.DR", "_TEXT_"},
                           {"Object Manager setup completed with 1 errors and 2 objects.", "_COMMENT_"},
                       }));
    EXPECT_EQ(ids(), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(objects->entry(2)->path, "objects\\b.DR");
    EXPECT_EQ(objects->objectCount(), 2u);
    EXPECT_EQ(objects->errors(), 1u);
}

TEST_F(ObjectManager, AnEmptyObjectFileIsListedAndCounted) {
    writeFile("objects/empty.DR", "# nothing here yet\n");
    writeFile("level.DR", "_OBJECTS_ { e { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\empty.DR } } }");
    EXPECT_TRUE(objects->SetupFromFile("level.DR"));
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{
                           {"[O.F.] objects\\empty.DR", "_TEXT_"},
                           {"Object Manager setup completed with 0 errors and 1 objects.", "_COMMENT_"},
                       }));
    command("show.list");
    EXPECT_EQ(lines().back(), (LoggedLine{"id:1  visible:1  file:objects\\empty.DR", "_SYSTEM_"}));
}

TEST_F(ObjectManager, AMissingLevelGivesTheSummaryWithNothing) {
    EXPECT_TRUE(objects->SetupFromFile("none.DR"));
    EXPECT_EQ(lines(),
              (std::vector<LoggedLine>{{"Object Manager setup completed with 0 errors and 0 objects.", "_COMMENT_"}}));
}

TEST_F(ObjectManager, CommandsListShowAndHideWithTheirLines) {
    objects->AddObject("objects\\a.DR", 0, 0, 0, 0, 0, 0);
    objects->AddObject("objects\\b.DR", 0, 0, 0, 0, 0, 0);
    const std::size_t before = lines().size();
    command("object.visible 2 0");
    command("show.list");
    command("object.visible 2 7");
    command("object.visible 2");
    command("object.visible");
    command("object.visible 9 1");  // no such object: nothing
    command("object.nothing 1 1");  // no such command: nothing
    auto all = lines();
    all.erase(all.begin(), all.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(all, (std::vector<LoggedLine>{
                       {"[Object] id: 2  visible(changed): 0", "_SYSTEM_"},
                       {"id:1  visible:1  file:objects\\a.DR", "_SYSTEM_"},
                       {"id:2  visible:0  file:objects\\b.DR", "_SYSTEM_"},
                       {"[Object] id: 2  visible(changed): 1", "_SYSTEM_"},
                       {"What are you mean?)", "_ERROR_"},
                       {"What are you mean?)", "_ERROR_"},
                   }));
}

TEST_F(ObjectManager, LoadingByCommandAddsAtTheOriginOrCountsAnError) {
    objects->AddObject("objects\\a.DR", 5, 0, 0, 0, 0, 0);
    command("load.OBJECT_SIMPLE objects\\b.DR");
    command("load.OBJECT_SIMPLE objects\\none.DR");
    EXPECT_EQ(objects->lastId(), 2u);
    EXPECT_EQ(objects->errors(), 1u);
    const auto all = lines();
    ASSERT_EQ(all.size(), 4u);
    EXPECT_EQ(all[1].text, "[O.F.] objects\\b.DR");
    EXPECT_EQ(all[3].text, "[!] Object File is corrupted and parameters are not loaded!");  // and no summary
    ASSERT_NE(objects->entry(2), nullptr);
    EXPECT_TRUE(objects->entry(2)->visible);
}

TEST_F(ObjectManager, EveryVisibleObjectIsDrawnOncePerLightLightByLight) {
    objects->AddObject("objects\\a.DR", 1, 0, 0, 0, 0, 0);
    objects->AddObject("objects\\b.DR", 2, 0, 0, 0, 0, 0);
    objects->AddObject("objects\\c.DR", 3, 0, 0, 0, 0, 0);
    device->BeginScene();
    device->clearCalls();
    objects->RenderAll();
    EXPECT_TRUE(renders().empty());  // no lights, nothing drawn

    writeFile("level.DR", "_LIGHTS_ { sun moon }");
    lights.SetupFromFile("level.DR");
    device->clearCalls();
    objects->RenderAll();
    EXPECT_EQ(renders(), (std::vector<float>{1, 2, 3, 1, 2, 3}));

    command("object.visible 2 0");
    device->clearCalls();
    objects->RenderAll();
    EXPECT_EQ(renders(), (std::vector<float>{1, 3, 1, 3}));
    command("show.list");
    EXPECT_EQ(loggedMessages(console).back().text, "id:3  visible:1  file:objects\\c.DR");  // hidden, still listed
}

TEST_F(ObjectManager, ObjectsNamingOneFileShareOneCopyAndEachReportsAFailure) {
    writeTexturedModel();
    writeFile("objects/lost.DR", "_MODEL_FILE_ { models\\none.x }");
    writeFile("level.DR",
              "_OBJECTS_ {"
              " a { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\m.DR } }"
              " b { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\lost.DR } }"
              " c { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\m.DR } }"
              " d { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\lost.DR } } }");
    testing::internal::CaptureStderr();
    objects->SetupFromFile("level.DR");
    const std::string why = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(why.begin(), why.end(), '\n'), 2) << "each failed model says why on stderr";
    ASSERT_NE(object(1).mesh(), nullptr);
    ASSERT_NE(object(1).texture(0), nullptr);
    EXPECT_EQ(object(3).mesh(), object(1).mesh());
    EXPECT_EQ(object(3).texture(0), object(1).texture(0));
    EXPECT_EQ(object(3).params.get(), object(1).params.get());
    std::vector<std::string> texts;
    for (const auto& line : lines()) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"[O.F.] objects\\m.DR", "[O.F.] objects\\lost.DR",
                                               "[M.F] cannot find: models\\none.x", "[O.F.] objects\\m.DR",
                                               "[O.F.] objects\\lost.DR", "[M.F] cannot find: models\\none.x",
                                               "Object Manager setup completed with 0 errors and 4 objects."}));

    // Released with the last object that uses it.
    const std::weak_ptr<const DynamicRow> tree = object(1).params;
    objects.reset();
    EXPECT_TRUE(tree.expired());
}

TEST_F(ObjectManager, AFileChangedOnDiskIsReadAgain) {
    namespace fs = std::filesystem;
    for (const bool sizeChanges : {true, false}) {
        SCOPED_TRACE(sizeChanges ? "size" : "modification time");
        writeTexturedModel();
        const std::uint32_t first = objects->AddObject("objects\\m.DR", 0, 0, 0, 0, 0, 0);
        const std::uint32_t same = objects->AddObject("objects\\m.DR", 0, 0, 0, 0, 0, 0);
        ASSERT_EQ(object(same).mesh(), object(first).mesh());
        for (const char* file : {"models/m.x", "textures/t.bmp", "objects/m.DR"}) {
            if (sizeChanges)
                std::ofstream(file, std::ios::app) << "\n";  // read as before, one byte longer
            else
                fs::last_write_time(file, fs::last_write_time(file) + std::chrono::seconds(2));
        }
        const std::uint32_t changed = objects->AddObject("objects\\m.DR", 0, 0, 0, 0, 0, 0);
        ASSERT_NE(object(changed).mesh(), nullptr);
        EXPECT_NE(object(changed).mesh(), object(first).mesh());
        EXPECT_NE(object(changed).texture(0), object(first).texture(0));
        EXPECT_NE(object(changed).params.get(), object(first).params.get());
        EXPECT_EQ(object(first).mesh()->triangleCount(), 2u);  // the old copy stays with its users
    }
}

}  // namespace
