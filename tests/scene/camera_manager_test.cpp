// Cameras: loading from the level tree, the commands with their messages and the 360 ms switch limit, the markers,
// and flying the current camera with the keyboard and mouse.
#include <cmath>
#include <tuple>

#include "../fake_input.h"
#include "../scene_fixture.h"
#include "platform/virtual_keys.h"

namespace {

using namespace krovane::gfx;
using namespace krovane::platform;
using namespace krovane::test;
using Cameras = SceneFixture<>;
using P = std::array<float, 3>;

constexpr const char* kThree = R"(_CAMERAS_ {
    main { _POSITION_ { 0 120 -300 } _LOOK_ { 0 0 0 } _MOVESPEED_ { 1.5 } }
    side { _POSITION_ { 1 2 } _MOVESPEED_ {} _LOOK_ { 5 5 5 } _LOOK_ { 7 8 9 } }
    ghost })";
const std::string kChanged = "Currient camera was changed to: camera \xB9 ";

TEST_F(Cameras, LoadingWithDefaultsShortAndRepeatedKeys) {
    cameras.LoadCameras(parse(kThree));
    EXPECT_EQ(lines(),
              (std::vector<LoggedLine>{
                  {"[+] Camera:  main", "_TEXT_"}, {"[+] Camera:  side", "_TEXT_"}, {"[+] Camera:  ghost", "_TEXT_"}}));
    ASSERT_EQ(cameras.cameraCount(), 3u);
    EXPECT_EQ(cameras.CurrentNumber(), 1);
    const Krovane_Camera &main = *cameras.camera(1), &side = *cameras.camera(2), &ghost = *cameras.camera(3);
    EXPECT_EQ(xyz(main.position), (P{0, 120, -300}));
    EXPECT_EQ(main.moveSpeed, 1.5f);
    EXPECT_EQ(xyz(side.position), (P{0, 0, 0}));  // two values: ignored
    EXPECT_EQ(side.moveSpeed, 0.1f);              // no value: the default
    EXPECT_EQ(xyz(side.look), (P{7, 8, 9}));      // repeated: the later one wins
    EXPECT_EQ(xyz(ghost.up), (P{0, 1, 0}));       // listed without a node of its own: the defaults

    // A light named like a camera, earlier in the file, lends it nothing; a bare name is looked up in the whole tree.
    Krovane_Camera_Manager fresh{log};
    fresh.LoadCameras(
        parse("_LIGHTS_ { main { _POSITION_ { 9 9 9 } } } bare { _MOVESPEED_ { 4 } }"
               "_CAMERAS_ { main { _POSITION_ { 1 2 3 } } bare }"));
    EXPECT_EQ(fresh.camera(1)->position.x, 1.0f);
    EXPECT_EQ(fresh.camera(2)->moveSpeed, 4.0f);
}

TEST_F(Cameras, CommandsAndTheirMessagesWithTheSwitchLimit) {
    cameras.LoadCameras(parse(kThree));
    const std::size_t loaded = lines().size();
    const std::tuple<int, const char*, int> steps[] = {
        // wait, command, current camera after it
        {400, "camera.next", 2},   {359, "camera.next", 2},  // within 360 ms: no switch, the message all the same
        {1, "camera.next", 3},     {400, "camera.next", 1}, {0, "camera.set 3", 3},
        {0, "Camera.Set 2", 2},    {0, "camera.set 5", 2},  // no such camera: unchanged
        {0, "CAMERA.SET 1", 2},    {0, "camera.fly", 2},    // not commands: silent
        {0, "camera.speed 2.5", 2}};
    for (const auto& [wait, command, current] : steps) {
        Clock::advanceTicks(wait);
        cameras.RunCommand(Korvane_string(command));
        EXPECT_EQ(cameras.CurrentNumber(), current) << command;
    }
    std::vector<LoggedLine> expected;
    for (const char* n : {"2", "2", "3", "1", "3", "2", "2"}) expected.push_back({kChanged + n, "_SYSTEM_"});
    expected.push_back({"Currient camera speed was changed to: 2.5", "_SYSTEM_"});
    EXPECT_EQ(lines(loaded), expected);
    EXPECT_EQ(cameras.camera(2)->moveSpeed, 2.5f);
    EXPECT_EQ(cameras.camera(1)->moveSpeed, 1.5f);
}

// (The view and projection matrices are the golden frame's.)
TEST_F(Cameras, ApplyingTheTransformsTurnsRightAcrossTheView) {
    cameras.LoadCameras(parse("_CAMERAS_ { c { _POSITION_ { 0 0 -10 } _LOOK_ { 0 0 0 } _RIGHT_ { 0 0 1 } } }"));
    cameras.CurrentCamera()->ApplyTransforms(device.get());
    EXPECT_EQ(xyz(cameras.CurrentCamera()->right), (P{-1, 0, 0}));  // looking along +Z, whatever "_RIGHT_" said
}

TEST_F(Cameras, MarkersForEveryCameraButTheCurrentOne) {
    cameras.LoadCameras(parse(kThree));
    cameras.SelectCamera(2);
    device->BeginScene();
    device->clearCalls();
    cameras.DrawCameras(device.get());
    ASSERT_FALSE(device->calls().empty());
    EXPECT_EQ(device->calls()[0].material->emissive.r, 1.0f);  // unlit: drawn in the texture's colour
    std::vector<std::vector<float>> sights;                    // each marker's line from its camera's eye to its look
    for (const RecordedCall& call : device->calls()) {
        if (call.op != DeviceOp::DrawPrimitiveUP || call.args[1] != 1) continue;
        const std::vector<float> f = call.floats();
        sights.push_back({f[0], f[1], f[2], f[7], f[8], f[9]});
    }
    EXPECT_EQ(sights, (std::vector<std::vector<float>>{{0, 120, -300, 0, 0, 0}, {0, 0, 0, 0, 0, 0}}));
}

struct CameraControl : Cameras {
    FakeInput input;
    Krovane_Camera& load(const char* level) {
        cameras.LoadCameras(parse(level));
        return *cameras.CurrentCamera();
    }
};

TEST_F(CameraControl, FrameTimeScalesTheStepWithAFloorAndTabSwitches) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 1 } } d }");  // speed 0.1 along +Z
    input.hold({kVkUp});
    // t = max(frame / 60, 0.05)
    for (const auto& [frame, z] : {std::pair{3.0f, 0.005f}, {1.0f, 0.01f}, {30.0f, 0.06f}}) {
        cameras.KeyboardMove(input, frame);
        EXPECT_NEAR(c.position.z, z, 1e-6f) << frame;
    }
    EXPECT_NEAR(c.look.z - c.position.z, 1.0f, 1e-6f);  // position and look move together
    input.hold({kVkTab});
    Clock::advanceTicks(400);
    cameras.KeyboardMove(input, 1.0f);
    EXPECT_EQ(cameras.CurrentNumber(), 2);
}

TEST_F(CameraControl, KeysMoveAlongTheViewFlatOrSteepAndSideways) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 -0.6 0.8 } _MOVESPEED_ { 1 } } }");
    c.right = {-1, 0, 0};
    // Keys held, the position after: flat (steep views move slower), along the view, both (they add), two that
    // cancel out, to the viewer's left, back.
    const std::pair<std::vector<std::uint8_t>, P> steps[] = {{{'W'}, {0, 0, 0.8f}},
                                                             {{kVkLShift}, {0, -0.6f, 1.6f}},
                                                             {{'W', kVkLShift}, {0, -1.2f, 3.2f}},
                                                             {{kVkUp, kVkDown}, {0, -1.2f, 3.2f}},
                                                             {{'A'}, {-1, -1.2f, 3.2f}},
                                                             {{kVkRight}, {0, -1.2f, 3.2f}}};
    for (const auto& [keys, position] : steps) {
        input.hold(keys);
        cameras.KeyboardMove(input, 60.0f);  // t = 1
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(xyz(c.position)[i], position[i], 1e-5f) << int(keys[0]) << " " << i;
    }
}

TEST_F(CameraControl, MouseTurnsAThirdOfADegreePerPixelWithoutJumps) {
    Krovane_Camera& c = load("_CAMERAS_ { c { _LOOK_ { 0 0 10 } } }");
    c.right = {-1, 0, 0};
    const float s = std::sin(10.0f * 3.14159265f / 180.0f), co = std::cos(10.0f * 3.14159265f / 180.0f);
    const std::tuple<int, int, bool, P> steps[] = {
        // cursor x, y, button held, the look after
        {100, 100, false, {0, 0, 10}},
        {100, 70, true, {0, 10 * s, 10 * co}},                   // 30 pixels up while held: 10 degrees up
        {400, 400, false, {0, 10 * s, 10 * co}},                 // moved while released,
        {400, 400, true, {0, 10 * s, 10 * co}},                  // then pressed where it is: no jump
        {430, 400, true, {10 * co * s, 10 * s, 10 * co * co}}};  // 30 pixels right: 10 degrees right
    for (const auto& [x, y, held, look] : steps) {
        input.x = x;
        input.y = y;
        cameras.MouseLook(input, held);
        for (int i = 0; i < 3; ++i) EXPECT_NEAR(xyz(c.look)[i], look[i], 1e-4f) << x << " " << y;
    }
    EXPECT_EQ(xyz(c.position), (P{0, 0, 0}));  // the eye stays
}

TEST_F(CameraControl, ALevelWithoutCamerasDoesNothing) {
    cameras.LoadCameras(parse("_LIGHTS_ { lamp }"));
    Clock::advanceTicks(1000);
    cameras.NextCamera();
    for (const char* command : {"camera.next", "camera.speed 3"}) cameras.RunCommand(Korvane_string(command));
    input.hold({'W', kVkTab, kVkLShift});
    cameras.KeyboardMove(input, 60.0f);
    input.x = 50;
    cameras.MouseLook(input, true);
    cameras.DrawCameras(device.get());
    cameras.LoadCameras(krovane::scene::readLevel("missing_level"));  // no file: no cameras, no message
    EXPECT_EQ(cameras.CurrentNumber(), 0);
    EXPECT_TRUE(device->calls().empty());
    EXPECT_TRUE(lines().empty());
}

}  // namespace
