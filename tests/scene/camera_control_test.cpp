// Flying and turning the current camera with the keyboard and mouse.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <initializer_list>
#include <memory>

#include "../temp_dir.h"
#include "platform/clock.h"
#include "platform/input_source.h"
#include "platform/virtual_keys.h"
#include "scene/krovane_camera_manager.h"

namespace {

using krovane::platform::Clock;

// Keys and a cursor set by the test.
struct FakeInput : krovane::platform::InputSource {
    std::uint8_t keys[256] = {};
    int x = 0, y = 0;
    void keyboardState(std::uint8_t state[256]) const override { std::memcpy(state, keys, 256); }
    std::string clipboardText() const override { return "pasted"; }
    void cursorPosition(int& cx, int& cy) const override {
        cx = x;
        cy = y;
    }
    void hold(std::initializer_list<std::uint8_t> held) {
        std::memset(keys, 0, sizeof keys);
        for (std::uint8_t k : held) keys[k] = 0x80;
    }
};

struct CameraControl : ::testing::Test {
    krovane::test::TempDir dir;
    std::unique_ptr<Krovane_Console> console;
    std::unique_ptr<Krovane_Camera_Manager> cameras;
    FakeInput input;

    void SetUp() override {
        Clock::setManualTicks(1000);
        console = std::make_unique<Krovane_Console>();
        cameras = std::make_unique<Krovane_Camera_Manager>(console.get());
    }
    void TearDown() override { Clock::useRealTime(); }

    void loadLevel(const char* level) {
        DynamicRow tree;
        ASSERT_TRUE(tree.loadFromText(level, "level"));
        cameras->LoadCameras(tree);
    }
    // Loads a level with cameras and returns the current one.
    Krovane_Camera& load(const char* level) {
        loadLevel(level);
        return *cameras->CurrentCamera();
    }
};

using namespace krovane::platform;

TEST_F(CameraControl, FrameTimeScalesTheStepWithAFloor) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 1 } } }");  // speed 0.1 along +Z
    input.hold({kVkUp});
    cameras->KeyboardMove(input, 3.0f);  // t = 0.05, as for 1 ms
    EXPECT_NEAR(c.position.z, 0.1f * 0.05f, 1e-7f);
    cameras->KeyboardMove(input, 1.0f);
    EXPECT_NEAR(c.position.z, 2 * 0.1f * 0.05f, 1e-7f);
    const float before = c.position.z;
    cameras->KeyboardMove(input, 30.0f);  // t = 0.5
    EXPECT_NEAR(c.position.z - before, 0.05f, 1e-6f);
    EXPECT_NEAR(c.look.z - c.position.z, 1.0f, 1e-6f);  // position and look move together
}

TEST_F(CameraControl, SteepViewsMoveSlowerFlatAndShiftFollowsTheView) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 -0.6 0.8 } _MOVESPEED_ { 1 } } }");
    input.hold({'W'});
    cameras->KeyboardMove(input, 60.0f);  // t = 1
    EXPECT_NEAR(c.position.z, 0.8f, 1e-6f);
    EXPECT_NEAR(c.position.y, 0.0f, 1e-6f);
    input.hold({kVkLShift});
    cameras->KeyboardMove(input, 60.0f);
    EXPECT_NEAR(c.position.y, -0.6f, 1e-6f);
    EXPECT_NEAR(c.position.z, 1.6f, 1e-6f);
    input.hold({'W', kVkLShift});  // together they add
    cameras->KeyboardMove(input, 60.0f);
    EXPECT_NEAR(c.position.z, 3.2f, 1e-5f);
    input.hold({kVkUp, kVkDown});  // cancel out
    cameras->KeyboardMove(input, 60.0f);
    EXPECT_NEAR(c.position.z, 3.2f, 1e-5f);
}

TEST_F(CameraControl, SidewaysAlongTheSideVector) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 1 } _MOVESPEED_ { 1 } } }");
    c.right = {-1, 0, 0};  // as applying the camera leaves it, looking along +Z
    input.hold({'A'});
    cameras->KeyboardMove(input, 60.0f);
    EXPECT_NEAR(c.position.x, -1.0f, 1e-6f);  // Left goes to the viewer's left
    input.hold({kVkRight});
    cameras->KeyboardMove(input, 60.0f);
    EXPECT_NEAR(c.position.x, 0.0f, 1e-6f);
}

TEST_F(CameraControl, TabStepsToTheNextCameraOnceIn360Ms) {
    load("_CAMERAS_ { a b c }");
    input.hold({kVkTab});
    Clock::advanceTicks(400);
    cameras->KeyboardMove(input, 1.0f);
    EXPECT_EQ(cameras->CurrentNumber(), 2);
    Clock::advanceTicks(100);
    cameras->KeyboardMove(input, 1.0f);  // still held: no second switch yet
    EXPECT_EQ(cameras->CurrentNumber(), 2);
    Clock::advanceTicks(300);
    cameras->KeyboardMove(input, 1.0f);
    EXPECT_EQ(cameras->CurrentNumber(), 3);
}

TEST_F(CameraControl, MouseTurnsAThirdOfADegreePerPixel) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 10 } } d { _LOOK_ { 0 0 10 } } }");
    c.right = {-1, 0, 0};
    input.x = 100;
    input.y = 100;
    cameras->MouseLook(input, false);
    input.x = 130;  // 30 pixels right while held: 10 degrees right
    cameras->MouseLook(input, true);
    EXPECT_NEAR(c.look.x, 10.0f * std::sin(10.0f * 3.14159265f / 180.0f), 1e-4f);
    EXPECT_NEAR(c.look.z, 10.0f * std::cos(10.0f * 3.14159265f / 180.0f), 1e-4f);

    cameras->SelectCamera(2);
    Krovane_Camera& d = *cameras->CurrentCamera();
    d.right = {-1, 0, 0};
    cameras->MouseLook(input, true);  // same place: no turn
    input.y = 70;                     // 30 pixels up: 10 degrees up
    cameras->MouseLook(input, true);
    EXPECT_NEAR(d.look.y, 10.0f * std::sin(10.0f * 3.14159265f / 180.0f), 1e-4f);
    EXPECT_NEAR(d.look.x, 0.0f, 1e-5f);
    EXPECT_FLOAT_EQ(d.position.y, 0.0f);  // the eye stays
}

TEST_F(CameraControl, NoJumpAfterTheButtonWasReleased) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 10 } } }");
    cameras->MouseLook(input, true);
    input.x = 500;
    input.y = 400;
    cameras->MouseLook(input, false);  // moved while released
    cameras->MouseLook(input, true);   // pressed again where it is
    EXPECT_FLOAT_EQ(c.look.x, 0.0f);
    EXPECT_FLOAT_EQ(c.look.z, 10.0f);
}

TEST_F(CameraControl, TheShownConsoleKeepsKeysAndMouse) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 10 } } }");
    console->visible = true;
    input.hold({'W', kVkTab});
    Clock::advanceTicks(1000);
    cameras->KeyboardMove(input, 60.0f);
    input.x = 300;
    cameras->MouseLook(input, true);
    EXPECT_FLOAT_EQ(c.position.z, 0.0f);
    EXPECT_FLOAT_EQ(c.look.x, 0.0f);
    EXPECT_FLOAT_EQ(cameras->mouseX, 0.0f);  // the camera's cursor record is left alone
}

TEST_F(CameraControl, TheConsoleKeyOpensOnAPressAndClosesOnTheNext) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 10 } } }");
    const auto frame = [&](std::uint32_t ms) {
        Clock::advanceTicks(ms);
        cameras->KeyboardMove(input, 16.0f);
    };
    input.hold({kVkOem3});
    console->ShiftPacingMarks(100000);  // the key press
    frame(16);
    EXPECT_TRUE(console->visible);
    input.hold({kVkOem3, 'W'});  // held: the console keeps the keyboard until the pacing check
    frame(1000);
    EXPECT_TRUE(console->visible);
    EXPECT_EQ(console->inputBox->text, "");  // the letter waits for the repeat timer too
    frame(608);
    EXPECT_FALSE(console->visible);
    EXPECT_FLOAT_EQ(c.position.z, 0.0f);

    // Held on while hidden, it does not open again: every frame resets the timer.
    input.hold({kVkOem3});
    for (int i = 0; i < 100; ++i) frame(100);
    EXPECT_FALSE(console->visible);
    console->ShiftPacingMarks(100000);
    frame(16);
    EXPECT_TRUE(console->visible);
    console->ShiftPacingMarks(100000);  // pressed again: closes on the next frame
    frame(16);
    EXPECT_FALSE(console->visible);
}

TEST_F(CameraControl, TheShownConsoleTakesTheCursorAsMoves) {
    console->visible = true;
    input.x = 700;  // over the clock box
    input.y = 208;
    cameras->MouseLook(input, false);
    EXPECT_EQ(console->clockBox->backColor, 0xFF5B5B5Bu);
    EXPECT_EQ(console->clockBox->mouseX, 700);
}

TEST_F(CameraControl, WithoutCamerasNothingMoves) {
    loadLevel("_LIGHTS_ { l }");
    input.hold({'W', kVkTab, kVkLShift});
    cameras->KeyboardMove(input, 60.0f);
    input.x = 50;
    cameras->MouseLook(input, true);
    EXPECT_EQ(cameras->CurrentCamera(), nullptr);
    input.hold({kVkOem3});  // the console still opens
    console->ShiftPacingMarks(100000);
    cameras->KeyboardMove(input, 60.0f);
    EXPECT_TRUE(console->visible);
}

}  // namespace
