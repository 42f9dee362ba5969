// The main loop's passes on the recording device: what an event changes, and
// what a frame draws; and a frame's input, routed to the console or the camera.
#include <gtest/gtest.h>

#include <filesystem>

#include "../fake_input.h"
#include "../logged_lines.h"
#include "../temp_dir.h"
#include "app/main_loop.h"
#include "gfx/recording_device.h"
#include "platform/clock.h"
#include "platform/virtual_keys.h"

namespace {

using krovane::gfx::DeviceOp;
using krovane::platform::Clock;
using krovane::platform::WindowEvent;

struct MainLoopPasses : ::testing::Test {
    krovane::test::TempDir dir;
    Krovane engine;
    krovane::gfx::Ref<krovane::gfx::RecordingDevice> device = krovane::gfx::RecordingDevice::create();

    void SetUp() override {
        Clock::setManualTicks(5000);
        engine.ReadRenderSettings(nullptr);
        engine.adoptDevice(device);  // the engine owns the reference from here
        engine.Initialize();
        device->clearCalls();
    }
    void TearDown() override { Clock::useRealTime(); }
    static WindowEvent event(WindowEvent::Type type) { return WindowEvent{type, 0, 0}; }
};

TEST_F(MainLoopPasses, KeyPressesShiftThePacingMarkButClicksDoNot) {
    MainLoop loop(engine);
    const std::uint32_t mark = engine.console()->toggleTimer().mark;
    loop.handleEvent(event(WindowEvent::Type::LeftButtonDown));
    EXPECT_TRUE(loop.leftButtonDown());
    loop.handleEvent(event(WindowEvent::Type::LeftButtonUp));
    EXPECT_FALSE(loop.leftButtonDown());
    EXPECT_EQ(engine.console()->toggleTimer().mark, mark);
    loop.handleEvent(event(WindowEvent::Type::KeyDown));
    loop.handleEvent(event(WindowEvent::Type::KeyDown));  // a repeat shifts again
    EXPECT_EQ(engine.console()->toggleTimer().mark, mark + 2 * MainLoop::kKeyDownShift);
    EXPECT_GT(engine.console()->toggleTimer().Elapsed(), 4000000000u);  // reads as long expired
    EXPECT_TRUE(device->calls().empty());                             // an event pass draws nothing
}

TEST_F(MainLoopPasses, ThePictureKeysAreNoConsoleKeysAndAskForOnePictureOfTheNextFrame) {
    MainLoop loop(engine);
    const std::uint32_t mark = engine.console()->toggleTimer().mark;
    const std::size_t before = krovane::test::loggedMessages(*engine.console()).size();
    Clock::setManualUtc({2026, 12, 7, 3, 5, 12});
    for (const std::uint8_t key : {krovane::platform::kVkSnapshot, krovane::platform::kVkF12}) {
        for (const bool repeat : {false, true}) {
            WindowEvent press = event(WindowEvent::Type::KeyDown);
            press.key = key;
            press.repeat = repeat;
            loop.handleEvent(press);
        }
    }
    EXPECT_EQ(engine.console()->toggleTimer().mark, mark);
    loop.idlePass();
    loop.idlePass();
    // The recording device keeps no picture, which is said; one picture was asked for.
    const auto lines = krovane::test::loggedMessages(*engine.console());
    ASSERT_EQ(lines.size(), before + 1);
    EXPECT_EQ(lines.back(), (krovane::test::LoggedLine{"Picture not saved: shot_2026-12-07_03-05-12.png", "_ERROR_"}));
}

TEST_F(MainLoopPasses, AFrameClearsInTheConfiguredColourDrawsAndPresents) {
    MainLoop loop(engine);
    loop.idlePass();
    const auto& calls = device->calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0].op, DeviceOp::Clear);
    EXPECT_EQ(calls[0].args[1], 3u);  // target and depth
    EXPECT_EQ(calls[0].args[2], 0xFF6482AAu);
    EXPECT_EQ(calls[0].z, 1.0f);
    EXPECT_EQ(calls[1].op, DeviceOp::BeginScene);
    EXPECT_EQ(calls[calls.size() - 2].op, DeviceOp::EndScene);
    EXPECT_EQ(calls.back().op, DeviceOp::Present);
}

TEST_F(MainLoopPasses, TheFrameRateCountsIdlePassesOnly) {
    MainLoop loop(engine);
    for (int i = 0; i < 150; ++i) {
        loop.idlePass();
        loop.handleEvent(event(WindowEvent::Type::Other));
    }
    Clock::advanceTicks(1999);
    loop.idlePass();
    EXPECT_EQ(loop.frameRate(), 151u);  // 151 passes in 1999 ms: whole seconds, so 151, not 75
}

TEST_F(MainLoopPasses, ClosingShutsDownOnceAndSavesTheLog) {
    MainLoop loop(engine);
    loop.handleEvent(event(WindowEvent::Type::Close));
    EXPECT_EQ(engine.device(), nullptr);
    EXPECT_EQ(engine.console(), nullptr);
    ASSERT_TRUE(std::filesystem::exists("LOG.dr"));
    std::filesystem::remove("LOG.dr");
    engine.Shutdown();  // after the loop, and at exit: nothing left to do
    EXPECT_FALSE(std::filesystem::exists("LOG.dr"));
}

// A frame's keyboard and cursor go to the console while it has them, else to the camera.
struct InputRoute : ::testing::Test {
    krovane::test::TempDir dir;
    std::unique_ptr<Krovane_Console> console;
    std::unique_ptr<Krovane_Camera_Manager> cameras;
    krovane::test::FakeInput input;

    void SetUp() override {
        Clock::setManualTicks(1000);
        console = std::make_unique<Krovane_Console>();
        cameras = std::make_unique<Krovane_Camera_Manager>(console.get());
    }
    void TearDown() override { Clock::useRealTime(); }
    Krovane_Camera& load(const char* level) {
        DynamicRow tree;
        EXPECT_TRUE(tree.loadFromText(level, "level"));
        cameras->LoadCameras(tree);
        return *cameras->CurrentCamera();
    }
    void frame(float frameMilliseconds = 16.0f, bool leftButtonDown = false) {
        MainLoop::routeInput(console.get(), *cameras, input, frameMilliseconds, leftButtonDown);
    }
};

using namespace krovane::platform;

TEST_F(InputRoute, TheShownConsoleKeepsKeysAndMouse) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 10 } } }");
    console->setVisible(true);
    input.hold({'W', kVkTab});
    Clock::advanceTicks(1000);
    input.x = 300;
    frame(60.0f, true);
    EXPECT_FLOAT_EQ(c.position.z, 0.0f);
    EXPECT_FLOAT_EQ(c.look.x, 0.0f);
    EXPECT_FLOAT_EQ(cameras->mouseX, 0.0f);  // the camera's cursor record is left alone
}

TEST_F(InputRoute, TheConsoleKeyOpensOnAPressAndClosesOnTheNext) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 10 } } }");
    const auto frameAfter = [&](std::uint32_t ms) {
        Clock::advanceTicks(ms);
        frame();
    };
    input.hold({kVkOem3});
    console->ShiftPacingMarks(100000);  // the key press
    frameAfter(16);
    EXPECT_TRUE(console->visible());
    input.hold({kVkOem3, 'W'});  // held: the console keeps the keyboard until the pacing check
    frameAfter(1000);
    EXPECT_TRUE(console->visible());
    EXPECT_EQ(console->inputBox().text, "");  // the letter waits for the repeat timer too
    frameAfter(608);
    EXPECT_FALSE(console->visible());
    EXPECT_FLOAT_EQ(c.position.z, 0.0f);

    // Held on while hidden, it does not open again: every frame resets the timer.
    input.hold({kVkOem3});
    for (int i = 0; i < 100; ++i) frameAfter(100);
    EXPECT_FALSE(console->visible());
    console->ShiftPacingMarks(100000);
    frameAfter(16);
    EXPECT_TRUE(console->visible());
    console->ShiftPacingMarks(100000);  // pressed again: closes on the next frame
    frameAfter(16);
    EXPECT_FALSE(console->visible());
}

TEST_F(InputRoute, WithoutCamerasTheConsoleKeyStillOpens) {
    input.hold({kVkOem3});
    console->ShiftPacingMarks(100000);
    frame();
    EXPECT_TRUE(console->visible());
}

TEST_F(InputRoute, TheShownConsoleTakesTheCursorAsMoves) {
    console->setVisible(true);
    input.x = 700;  // over the clock box
    input.y = 208;
    frame();
    EXPECT_EQ(console->clockBox().backColor, 0xFF5B5B5Bu);
    EXPECT_EQ(console->clockBox().mouseX, 700);
}

}  // namespace
