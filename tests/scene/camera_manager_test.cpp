// Cameras: loading from the level tree, the commands with their messages and the 360 ms switch limit, the markers,
// and flying the current camera with the keyboard and mouse; a model viewer's orbit, written into a camera.
#include <cmath>
#include <cstring>
#include <functional>
#include <tuple>

#include "../fake_input.h"
#include "../scene_fixture.h"
#include "platform/virtual_keys.h"
#include "scene/orbit_control.h"

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

// The orbit about the box (0, 0, 0) to (2, 4, 4): centre (1, 2, 2), radius 3; framed from the front at 4:3, its
// nearest corners 2 before the centre and 2 above it at 1 / 1.15 of the half height: 2 + 2 / (tan(22.5 deg) / 1.15).
using Orbit = krovane::scene::OrbitControl;
constexpr float kFramed = 7.55269f;
constexpr P kCentre{1, 2, 2};

Orbit framedOrbit(Orbit::Axis up, Orbit::View view) {
    Orbit orbit(up);
    orbit.setViewport(800, 600);
    EXPECT_TRUE(orbit.setBounds({0, 0, 0}, {2, 4, 4}));
    orbit.showView(view);
    return orbit;
}

void expectNear(const P& got, const P& want, const char* what) {
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(got[i], want[i], 2e-3f) << what << " " << i;
}

// Each preset, for several up axes: where the eye looks from (unit, from the centre); the camera takes the axis.
TEST(OrbitControl, PresetViewsLookFromTheirSideOfTheUpAxis) {
    using A = Orbit::Axis;
    using V = Orbit::View;
    const std::tuple<const char*, A, V, P> rows[] = {
        {"+Y front", A::PlusY, V::Front, {0, 0, -1}},
        {"+Y side", A::PlusY, V::Side, {1, 0, 0}},
        {"+Y top", A::PlusY, V::Top, {0, 0.99985f, -0.01745f}},
        {"+Y three-quarter", A::PlusY, V::ThreeQuarter, {0.51984f, 0.42262f, -0.74240f}},
        {"+Z three-quarter", A::PlusZ, V::ThreeQuarter, {-0.51984f, -0.74240f, 0.42262f}},
        {"-Y side", A::MinusY, V::Side, {-1, 0, 0}},
        {"+X side", A::PlusX, V::Side, {0, -1, 0}},
    };
    for (const auto& [what, up, view, from] : rows) {
        const Orbit orbit = framedOrbit(up, view);
        Krovane_Camera camera;
        orbit.apply(camera);
        const Vector3 away = normalize(camera.position - camera.look);
        expectNear(xyz(away), from, what);
        expectNear(xyz(camera.look), kCentre, what);
        expectNear(xyz(camera.up), xyz(orbit.upVector()), what);
    }
    EXPECT_TRUE(Orbit::parseAxis("-x") == A::MinusX && Orbit::parseAxis("Y") == A::PlusY);
    for (const char* bad : {"", "+", "W", "+YZ", "++Y"}) EXPECT_FALSE(Orbit::parseAxis(bad)) << bad;
}

// From the framed front view (+Y up, 800 x 600): the target, distance, yaw and pitch after each operation.
TEST(OrbitControl, TurnPanZoomKeysAndFrameAgain) {
    const float pan = 2 * kFramed * std::tan(0.3926991f) / 600 * 100;  // 100 pixels at the target's depth
    const struct {
        const char* what;
        std::function<void(Orbit&)> act;
        P target;
        float distance, yaw, pitch;
    } rows[] = {
        {"framed", [](Orbit&) {}, kCentre, kFramed, 0, 0},
        {"drag right 30 px: the eye goes left", [](Orbit& o) { o.turn(30, 0); }, kCentre, kFramed, -10, 0},
        {"drag down past the top", [](Orbit& o) { o.turn(0, 600); }, kCentre, kFramed, 0, 89},
        {"pan right 100 px", [](Orbit& o) { o.pan(100, 0); }, {1 - pan, 2, 2}, kFramed, 0, 0},
        {"pan down 100 px", [](Orbit& o) { o.pan(0, 100); }, {1, 2 + pan, 2}, kFramed, 0, 0},
        {"a wheel step in", [](Orbit& o) { o.zoom(1); }, kCentre, kFramed * 0.8f, 0, 0},
        {"W for 200 ms: 2^-0.2", [](Orbit& o) { o.move(1, 0, 200); }, kCentre, kFramed * 0.870551f, 0, 0},
        {"D for 200 ms: a tenth", [](Orbit& o) { o.move(0, 1, 200); }, {1 + kFramed / 10, 2, 2}, kFramed, 0, 0},
        {"S in a stalled frame: 250 ms", [](Orbit& o) { o.move(-1, 0, 5000); }, kCentre, kFramed * 1.18921f, 0, 0},
        {"panned and turned, framed again", [](Orbit& o) { o.pan(50, 80), o.turn(30, 0), o.frame(); }, kCentre,
         7.69595f, -10, 0},
        {"a window three times as high as wide: its width holds the box",
         [](Orbit& o) { o.setViewport(300, 900), o.frame(); }, kCentre, 10.3290f, 0, 0},
    };
    for (const auto& row : rows) {
        Orbit orbit = framedOrbit(Orbit::Axis::PlusY, Orbit::View::Front);
        row.act(orbit);
        expectNear(xyz(orbit.target()), row.target, row.what);
        EXPECT_NEAR(orbit.distance(), row.distance, 2e-3f) << row.what;
        EXPECT_NEAR(orbit.yaw(), row.yaw, 1e-3f) << row.what;
        EXPECT_NEAR(orbit.pitch(), row.pitch, 1e-3f) << row.what;
    }
    Orbit orbit = framedOrbit(Orbit::Axis::PlusY, Orbit::View::Front);
    EXPECT_FALSE(orbit.setBounds({0, 0, 0}, {NAN, 1, 1}) || orbit.setBounds({1, 0, 0}, {0, 1, 1}));
}

// The depth planes hold the box's sphere and a half again however near the eye (wheeled in as far as it goes: never
// through) or far (100 radii at most); the camera's projection takes them and the viewport's aspect.
TEST(OrbitControl, TheProjectionTakesTheAspectAndPlanesThatFollowTheEye) {
    // wheel steps, near, far
    for (const auto& [steps, near, far] : {std::tuple{0.0f, kFramed - 4.5f, kFramed + 4.5f}, {-1000.0f, 295.5f, 304.5f},
                                           {1000.0f, 3e-5f, 4.53f}}) {
        Orbit orbit = framedOrbit(Orbit::Axis::PlusY, Orbit::View::Front);
        orbit.zoom(steps);
        EXPECT_NEAR(orbit.nearPlane(), near, 1e-3f) << steps;
        EXPECT_NEAR(orbit.farPlane(), far, 1e-3f) << steps;
    }
    Orbit orbit = framedOrbit(Orbit::Axis::PlusZ, Orbit::View::Front);
    orbit.setViewport(1000, 250);
    Krovane_Camera camera;
    orbit.apply(camera);
    const Matrix want = perspectiveFovLH(0.7853982f, 4.0f, orbit.nearPlane(), orbit.farPlane());
    EXPECT_EQ(std::memcmp(camera.projectionMatrix().m, want.m, sizeof want.m), 0);
}

}  // namespace

