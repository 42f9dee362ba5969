// The main loop's passes on the recording device: what an event changes, and
// what a frame draws.
#include <gtest/gtest.h>

#include <filesystem>

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
    const std::uint32_t mark = engine.console()->toggleTimer.mark;
    loop.handleEvent(event(WindowEvent::Type::LeftButtonDown));
    EXPECT_TRUE(loop.leftButtonDown());
    loop.handleEvent(event(WindowEvent::Type::LeftButtonUp));
    EXPECT_FALSE(loop.leftButtonDown());
    EXPECT_EQ(engine.console()->toggleTimer.mark, mark);
    loop.handleEvent(event(WindowEvent::Type::KeyDown));
    loop.handleEvent(event(WindowEvent::Type::KeyDown));  // a repeat shifts again
    EXPECT_EQ(engine.console()->toggleTimer.mark, mark + 2 * MainLoop::kKeyDownShift);
    EXPECT_GT(engine.console()->toggleTimer.Elapsed(), 4000000000u);  // reads as long expired
    EXPECT_TRUE(device->calls().empty());                             // an event pass draws nothing
}

TEST_F(MainLoopPasses, ThePictureKeysAreNoConsoleKeysAndAskForOnePictureOfTheNextFrame) {
    MainLoop loop(engine);
    const std::uint32_t mark = engine.console()->toggleTimer.mark;
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
    EXPECT_EQ(engine.console()->toggleTimer.mark, mark);
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
    EXPECT_FALSE(loop.running());
    EXPECT_EQ(engine.device(), nullptr);
    EXPECT_EQ(engine.console(), nullptr);
    ASSERT_TRUE(std::filesystem::exists("LOG.dr"));
    std::filesystem::remove("LOG.dr");
    engine.Shutdown();  // after the loop, and at exit: nothing left to do
    EXPECT_FALSE(std::filesystem::exists("LOG.dr"));
}

}  // namespace
