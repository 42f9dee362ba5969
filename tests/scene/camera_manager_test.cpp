// Cameras: loading from the level tree, selection and the 360 ms limit, the
// commands and their messages, the matrices, and the markers.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "../logged_lines.h"
#include "../temp_dir.h"
#include "gfx/recording_device.h"
#include "platform/clock.h"
#include "scene/krovane_camera_manager.h"

namespace {

using krovane::gfx::DeviceOp;
using krovane::gfx::TransformState;
using krovane::platform::Clock;

constexpr const char* kThreeCameras = R"(
_CAMERAS_ {
    main { _POSITION_ { 0 120 -300 } _LOOK_ { 0 0 0 } _MOVESPEED_ { 1.5 } }
    side { _POSITION_ { 1 2 } _MOVESPEED_ {} _LOOK_ { 5 5 5 } _LOOK_ { 7 8 9 } }
    ghost
}
)";

struct Cameras : ::testing::Test {
    krovane::test::TempDir dir;
    std::unique_ptr<ConsoleLog> console;
    std::unique_ptr<Krovane_Camera_Manager> cameras;

    void SetUp() override {
        Clock::setManualTicks(1000);
        console = std::make_unique<ConsoleLog>();
        cameras = std::make_unique<Krovane_Camera_Manager>(console.get());
    }
    void TearDown() override { Clock::useRealTime(); }

    void load(const char* level) {
        DynamicRow tree;
        ASSERT_TRUE(tree.loadFromText(level, "level")) << tree.lastLoadError().describe();
        cameras->LoadCameras(tree);
    }
    // The texts of the log lines after the header, without their stamps.
    std::vector<std::string> lines() const {
        std::vector<std::string> out;
        for (const auto& line : krovane::test::loggedLines(*console))
            out.push_back(line.text.substr(line.text.find("] ") + 2));
        return out;
    }
    std::string lastLine() const { return lines().back(); }
    void command(const char* text) { cameras->RunCommand(Korvane_string(text)); }
};

const std::string kChanged = "Currient camera was changed to: camera \xB9 ";

TEST_F(Cameras, LoadingWithDefaultsShortAndRepeatedKeys) {
    load(kThreeCameras);
    EXPECT_EQ(cameras->cameraCount(), 3u);
    EXPECT_EQ(cameras->CurrentNumber(), 1);
    EXPECT_EQ(lines(), (std::vector<std::string>{"[+] Camera:  main", "[+] Camera:  side", "[+] Camera:  ghost"}));

    const Krovane_Camera* main = cameras->camera(1);
    EXPECT_EQ(main->name, "main");
    EXPECT_FLOAT_EQ(main->position.y, 120.0f);
    EXPECT_FLOAT_EQ(main->position.z, -300.0f);
    EXPECT_FLOAT_EQ(main->moveSpeed, 1.5f);

    const Krovane_Camera* side = cameras->camera(2);
    EXPECT_FLOAT_EQ(side->position.x, 0.0f);  // two values: ignored
    EXPECT_FLOAT_EQ(side->moveSpeed, 0.1f);   // no value: the default
    EXPECT_FLOAT_EQ(side->look.x, 7.0f);      // repeated: the later one wins
    EXPECT_FLOAT_EQ(side->look.z, 9.0f);

    const Krovane_Camera* ghost = cameras->camera(3);  // listed without a node of its own
    EXPECT_EQ(ghost->name, "ghost");
    EXPECT_FLOAT_EQ(ghost->moveSpeed, 0.1f);
    EXPECT_FLOAT_EQ(ghost->up.y, 1.0f);
    EXPECT_FLOAT_EQ(ghost->right.z, 1.0f);
    EXPECT_EQ(cameras->camera(4), nullptr);
    EXPECT_EQ(cameras->camera(0), nullptr);
}

TEST_F(Cameras, KeysComeFromTheCamerasOwnEntry) {
    // A light named like a camera, earlier in the file, must not lend it its position.
    load(R"(_LIGHTS_ { main { _POSITION_ { 9 9 9 } } }
            bare { _MOVESPEED_ { 4 } }
            _CAMERAS_ { main { _POSITION_ { 1 2 3 } } bare })");
    EXPECT_FLOAT_EQ(cameras->camera(1)->position.x, 1.0f);
    EXPECT_FLOAT_EQ(cameras->camera(2)->moveSpeed, 4.0f);  // a bare name is looked up in the whole tree
}

TEST_F(Cameras, NextCyclesWithTheSwitchLimit) {
    load(kThreeCameras);
    Clock::advanceTicks(400);
    command("camera.next");
    EXPECT_EQ(lastLine(), kChanged + "2");
    Clock::advanceTicks(359);
    command("camera.next");  // within 360 ms: no switch, the message all the same
    EXPECT_EQ(lastLine(), kChanged + "2");
    Clock::advanceTicks(1);
    command("camera.next");
    EXPECT_EQ(lastLine(), kChanged + "3");
    Clock::advanceTicks(400);
    command("camera.next");
    EXPECT_EQ(lastLine(), kChanged + "1");
    const DynamicRow& log = console->tree();
    EXPECT_EQ(log.text(log.TopId(log.iLookId(("[1:160] " + kChanged + "1").c_str()))), "_SYSTEM_");
}

TEST_F(Cameras, SetAndSpeedCommands) {
    load(kThreeCameras);
    command("camera.set 3");
    EXPECT_EQ(cameras->CurrentNumber(), 3);
    EXPECT_EQ(lastLine(), kChanged + "3");
    command("Camera.Set 2");
    EXPECT_EQ(cameras->CurrentNumber(), 2);
    command("camera.set 5");  // no such camera: unchanged
    EXPECT_EQ(lastLine(), kChanged + "2");
    const std::size_t before = lines().size();
    command("CAMERA.SET 1");  // not a command: nothing happens
    command("camera.fly");
    EXPECT_EQ(lines().size(), before);
    EXPECT_EQ(cameras->CurrentNumber(), 2);

    command("camera.speed 2.5");
    EXPECT_EQ(lastLine(), "Currient camera speed was changed to: 2.5");
    EXPECT_FLOAT_EQ(cameras->camera(2)->moveSpeed, 2.5f);
    EXPECT_FLOAT_EQ(cameras->camera(1)->moveSpeed, 1.5f);
}

TEST_F(Cameras, TransformsOfTheCurrentCamera) {
    load(R"(_CAMERAS_ { c { _POSITION_ { 0 0 -10 } _LOOK_ { 0 0 0 } _RIGHT_ { 0 0 1 } } })");
    const auto device = krovane::gfx::RecordingDevice::create();
    Krovane_Camera* c = cameras->CurrentCamera();
    c->ApplyTransforms(device.get());
    const auto& calls = device->calls();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].args[0], static_cast<std::uint32_t>(TransformState::World));
    EXPECT_EQ(calls[1].args[0], static_cast<std::uint32_t>(TransformState::View));
    EXPECT_FLOAT_EQ(calls[1].matrix->m[3][2], 10.0f);  // the origin is 10 ahead
    EXPECT_FLOAT_EQ(calls[1].matrix->m[0][0], 1.0f);
    EXPECT_EQ(calls[2].args[0], static_cast<std::uint32_t>(TransformState::Projection));
    EXPECT_NEAR(calls[2].matrix->m[0][0], 1.8106602f, 1e-5f);  // aspect 4:3 whatever the window
    EXPECT_NEAR(calls[2].matrix->m[1][1], 2.4142136f, 1e-5f);
    EXPECT_NEAR(calls[2].matrix->m[3][2], -1.0000667f, 1e-6f);
    // Looking along +Z the side vector is (-1, 0, 0), whatever "_RIGHT_" said.
    EXPECT_FLOAT_EQ(c->right.x, -1.0f);
    EXPECT_FLOAT_EQ(c->right.z, 0.0f);
}

TEST_F(Cameras, MarkersForEveryCameraButTheCurrentOne) {
    load(kThreeCameras);
    const auto recorder = krovane::gfx::RecordingDevice::create();
    recorder->BeginScene();
    cameras->DrawCameras(recorder.get());
    const auto& calls = recorder->calls();
    // Material, then per camera 2 and 3: world, a line, two boxes.
    ASSERT_EQ(calls.size(), 1u + 1u + 2 * 4u);
    EXPECT_EQ(calls[1].op, DeviceOp::SetMaterial);
    EXPECT_FLOAT_EQ(calls[1].material->emissive.r, 1.0f);
    EXPECT_FLOAT_EQ(calls[1].material->diffuse.r, 0.0f);
    EXPECT_EQ(calls[2].op, DeviceOp::SetTransform);
    const std::vector<float> line = calls[3].floats();  // camera 2: from (0, 0, 0) to (7, 8, 9)
    ASSERT_EQ(line.size(), 14u);
    EXPECT_FLOAT_EQ(line[7], 7.0f);
    EXPECT_FLOAT_EQ(line[9], 9.0f);
    const std::vector<float> lookBox = calls[4].floats();
    EXPECT_EQ(lookBox.size(), 24u * 7);
    EXPECT_FLOAT_EQ(lookBox[0], 9.0f);  // the first corner is look + 2
    const std::vector<float> eyeBox = calls[5].floats();
    EXPECT_FLOAT_EQ(eyeBox[0], 10.0f);  // eye + 10
    EXPECT_FLOAT_EQ(eyeBox[7], -10.0f);
}

TEST_F(Cameras, ALevelWithoutCamerasDoesNothing) {
    load("_LIGHTS_ { lamp }");
    EXPECT_EQ(cameras->CurrentCamera(), nullptr);
    EXPECT_EQ(cameras->CurrentNumber(), 0);
    Clock::advanceTicks(1000);
    cameras->NextCamera();
    command("camera.next");
    command("camera.speed 3");
    const auto recorder = krovane::gfx::RecordingDevice::create();
    cameras->DrawCameras(recorder.get());
    EXPECT_TRUE(recorder->calls().empty());
    EXPECT_TRUE(lines().empty());
    cameras->SetupFromFile("missing_level");  // no file: no cameras, no message
    EXPECT_EQ(cameras->cameraCount(), 0u);
}

}  // namespace
