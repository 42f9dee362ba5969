// The engine's start-up and shutdown on the recording device: the whole log
// of a start in order, missing default textures, a missing and a malformed
// level, and shutdown saving the log once (and not at all without a device).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "../level_files.h"
#include "../logged_lines.h"
#include "../temp_dir.h"
#include "app/krovane.h"
#include "gfx/recording_device.h"
#include "platform/clock.h"

namespace {

using krovane::platform::Clock;
using krovane::test::LoggedLine;
using krovane::test::loggedMessages;
using krovane::test::writeBmp;
using krovane::test::writeFile;

constexpr const char* kLevel = R"(
_LIGHTS_ { sun { _POSITION_ { 0 50 -50 } } }
_OBJECTS_ { box { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\box.DR } _POSITION_ { 0 0 0 } } }
_CAMERAS_ { main { _POSITION_ { 0 2 -10 } _LOOK_ { 0 0 0 } } }
_EFFECTS_ { vek_Phong { _FILE_FX_ { fx\vek_Phong.fx } _FILE_ { none } } }
)";

class EngineStart : public ::testing::Test {
protected:
    EngineStart() {
        Clock::setManualTicks(1000);
        for (const char* name : {"white", "red", "Blue", "yellow"})
            writeBmp(std::string("textures/_def/") + name + ".bmp", 0xFFFFFF);
        krovane::test::copyDemoFile("fx/vek_Phong.fx");
        writeFile("objects/box.DR", "_FX_ { vek_Phong }");
        writeFile("POLYGON01", kLevel);
    }
    ~EngineStart() override { Clock::useRealTime(); }
    void start() {
        engine.ReadRenderSettings(nullptr);
        engine.adoptDevice(krovane::gfx::RecordingDevice::create());
        engine.Initialize();
    }
    std::vector<LoggedLine> lines() { return loggedMessages(*engine.console()); }
    krovane::test::TempDir dir;
    Krovane engine;
};

TEST_F(EngineStart, AStartWithEveryFileLogsEachStageInOrder) {
    start();
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{
                           {"[>>>] Initializing rendering manager : ", "_SYSTEM_"},
                           {"Rendering manager inicialized with 0 errors.", "_COMMENT_"},
                           {"[>>>] Loading level : POLYGON01", "_SYSTEM_"},
                           {"[>>>] Loading Lights : ", "_SYSTEM_"},
                           {"[+] Light:  sun", "_TEXT_"},
                           {"Light Manager setup completed with 1 lights.", "_COMMENT_"},
                           {"[i] Light Manager setup completed. ", "_COMMENT_"},
                           {"[>>>] Loading Objects : ", "_SYSTEM_"},
                           {"[O.F.] objects\\box.DR", "_TEXT_"},
                           {"Object Manager setup completed with 0 errors and 1 objects.", "_COMMENT_"},
                           {"[>>>] Loading cameras : ", "_SYSTEM_"},
                           {"[+] Camera:  main", "_TEXT_"},
                           {"[i] Camera Manager setup completed. ", "_COMMENT_"},
                           {"[>>>] Loading effects : ", "_SYSTEM_"},
                           {"[+] Effect:  vek_Phong", "_TEXT_"},
                           {"Effect Manager setup completed with 1 Effects.", "_COMMENT_"},
                           {"[i] Effect Manager setup completed. ", "_COMMENT_"},
                       }));
    EXPECT_EQ(engine.renderManager()->backColor, Krovane::kDefaultBackColor);
}

TEST_F(EngineStart, AMissingDefaultTextureIsReportedTwice) {
    std::filesystem::remove("textures/_def/red.bmp");
    start();
    std::vector<LoggedLine> missed;
    for (const auto& line : lines())
        if (line.text.rfind("missed", 0) == 0) missed.push_back(line);
    EXPECT_EQ(missed, (std::vector<LoggedLine>{{"missed: textures\\_def\\red.bmp", "_ERROR_"},
                                               {"missed: textures\\_def\\red.bmp", "_ERROR_"}}));
    EXPECT_EQ(lines().back(),
              (LoggedLine{"missed: textures\\_def\\red.bmp", "_ERROR_"}));  // the last line of the start
    engine.Shutdown();
    EXPECT_TRUE(std::filesystem::exists("LOG.dr"));
}

TEST_F(EngineStart, AMissingLevelStillGivesTheStagesWithZeroCounts) {
    std::filesystem::remove("POLYGON01");
    start();
    std::vector<std::string> texts;
    for (const auto& line : lines()) texts.push_back(line.text);
    EXPECT_EQ(texts, (std::vector<std::string>{
                         "[>>>] Initializing rendering manager : ",
                         "Rendering manager inicialized with 0 errors.",
                         "[>>>] Loading level : POLYGON01",
                         "[>>>] Loading Lights : ",
                         "Light Manager setup completed with 0 lights.",
                         "[i] Light Manager setup completed. ",
                         "[>>>] Loading Objects : ",
                         "Object Manager setup completed with 0 errors and 0 objects.",
                         "[>>>] Loading cameras : ",
                         "[i] Camera Manager setup completed. ",
                         "[>>>] Loading effects : ",
                         "Effect Manager setup completed with 0 Effects.",
                         "[i] Effect Manager setup completed. ",
                     }));
}

TEST_F(EngineStart, AMalformedLevelOrObjectFileSaysWhere) {
    writeFile("POLYGON01", "_LIGHTS_ {\n  sun { _POSITION_ { 1 2 3 }\n");
    writeFile("objects/bad.DR", "_FX_ { a } }");
    start();
    engine.objectManager()->ExecuteCommand("load.OBJECT_SIMPLE objects\\bad.DR");
    std::vector<LoggedLine> errors;
    for (const auto& line : lines())
        if (line.type == "_ERROR_") errors.push_back(line);
    ASSERT_EQ(errors.size(), 3u) << testing::PrintToString(errors);
    EXPECT_EQ(errors[0].text.rfind("POLYGON01:", 0), 0u) << errors[0].text;
    EXPECT_EQ(errors[0].text, "POLYGON01:2:7: '{' is never closed");
    EXPECT_EQ(errors[1].text, "[!] Object File is corrupted and parameters are not loaded!");
    EXPECT_EQ(errors[2].text.rfind("objects\\bad.DR:1:", 0), 0u) << errors[2].text;
}

TEST_F(EngineStart, TypedLinesReachTheQueueAndRunOnTheNextFrame) {
    start();
    ASSERT_NE(engine.commandQueue(), nullptr);
    EXPECT_EQ(engine.console()->inputBox().queue, engine.commandQueue()->pendingTree());
    DynamicRow& pending = *engine.commandQueue()->pendingTree();
    pending.AddToId(1, false, "obj_mngr show.list");  // as Enter adds it
    engine.commandQueue()->ProcessCommands();
    EXPECT_EQ(lines().back(), (LoggedLine{"id:1  visible:1  file:objects\\box.DR", "_SYSTEM_"}));
}

TEST_F(EngineStart, AMalformedCommandBaseSaysWhere) {
    writeFile("GlobalCommandBase.DR", "_COMMANDS_ { \"open\n");
    start();
    EXPECT_EQ(lines().front().type, "_ERROR_");
    EXPECT_EQ(lines().front().text.rfind("GlobalCommandBase.DR:1:", 0), 0u) << lines().front().text;
}

TEST_F(EngineStart, ShutdownSavesTheLogOnceWithEveryStage) {
    start();
    engine.Shutdown();
    std::ifstream in("LOG.dr");
    const std::string saved{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_NE(saved.find("[i] Effect Manager setup completed. "), std::string::npos);
    std::filesystem::remove("LOG.dr");
    engine.Shutdown();
    EXPECT_FALSE(std::filesystem::exists("LOG.dr"));
    EXPECT_EQ(engine.console(), nullptr);
    EXPECT_EQ(engine.renderManager(), nullptr);
}

TEST(EngineWithoutDevice, ShutdownSavesNoLog) {
    krovane::test::TempDir dir;
    {
        Krovane engine;
        engine.Shutdown();
    }
    EXPECT_FALSE(std::filesystem::exists("LOG.dr"));
}

}  // namespace
