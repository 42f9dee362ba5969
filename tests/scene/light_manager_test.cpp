// Lights and the light manager: reading a light from the level tree (defaults,
// the w and alpha rules, short and repeated keys), loading a level's lights
// with their log lines, numbering and lookup by number, and the device calls
// of the light markers.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "../logged_lines.h"
#include "../temp_dir.h"
#include "console/console_log.h"
#include "gfx/geometry.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"
#include "gfx/texture_holder.h"
#include "params/dynamic_row.h"
#include "platform/clock.h"
#include "scene/krovane_light.h"
#include "scene/krovane_light_manager.h"

namespace {

using krovane::gfx::DeviceOp;
using krovane::gfx::RecordedCall;
using krovane::platform::Clock;

DynamicRow treeOf(std::string_view text) {
    DynamicRow tree;
    EXPECT_TRUE(tree.loadFromText(text, "test")) << tree.lastLoadError().describe();
    return tree;
}

void expectPoint(const Krovane_Light::Point4& p, float x, float y, float z, float w) {
    EXPECT_EQ(p.x, x);
    EXPECT_EQ(p.y, y);
    EXPECT_EQ(p.z, z);
    EXPECT_EQ(p.w, w);
}

void expectColor(const krovane::gfx::ColorValue& c, float r, float g, float b, float a) {
    EXPECT_EQ(c.r, r);
    EXPECT_EQ(c.g, g);
    EXPECT_EQ(c.b, b);
    EXPECT_EQ(c.a, a);
}

void expectDefaultScalars(const Krovane_Light& light) {
    EXPECT_EQ(light.falloff, 1000.0f);
    EXPECT_EQ(light.specular, 8.5f);
    EXPECT_EQ(light.specularIntensity, 0.19f);
    EXPECT_EQ(light.ambient, 0.005f);
    EXPECT_EQ(light.attenuation, 0.8f);
}

// ---- One light read from a tree -------------------------------------------

TEST(LightLoading, OnlyPositionKeepsEveryOtherDefault) {
    const DynamicRow tree = treeOf("_LIGHTS_ { lamp { _POSITION_ { 10 20 30 } } }");
    Krovane_Light light;
    EXPECT_TRUE(light.LoadFromTree("lamp", tree));
    EXPECT_EQ(light.name, "lamp");
    expectPoint(light.position, 10, 20, 30, 1);
    expectPoint(light.look, 0, 0, 0, 0);
    expectColor(light.color, 1, 1, 1, 1);
    expectDefaultScalars(light);
}

TEST(LightLoading, EveryKeyInAnyOrderAndOnlyTheFirstValuesCount) {
    const DynamicRow tree = treeOf(
        "lamp { _ATTENUATION_ { 0.5 } _COLOR_ { 0.5 0.25 0 7 } _LOOK_ { -1 -2.5 3e2 } _FALLOFF_ { 250 9 }"
        " _SPECULAR_ { 16 } _SPECULAR_INTENSY_ { 0.75 } _AMBIENT_ { 0.125 } _POSITION_ { 1 2 3 4 } }");
    Krovane_Light light;
    EXPECT_TRUE(light.LoadFromTree("lamp", tree));
    expectPoint(light.position, 1, 2, 3, 1);  // a fourth value is not w
    expectPoint(light.look, -1, -2.5f, 300, 1);
    expectColor(light.color, 0.5f, 0.25f, 0, 1);  // alpha is 1 whatever follows
    EXPECT_EQ(light.falloff, 250.0f);
    EXPECT_EQ(light.specular, 16.0f);
    EXPECT_EQ(light.specularIntensity, 0.75f);
    EXPECT_EQ(light.ambient, 0.125f);
    EXPECT_EQ(light.attenuation, 0.5f);
}

TEST(LightLoading, KeysWithTooFewValuesLeaveTheirFields) {
    const DynamicRow tree =
        treeOf("lamp { _COLOR_ { 0.5 0.25 } _POSITION_ { } _LOOK_ _FALLOFF_ { } _SPECULAR_ _AMBIENT_ { 0.5 } }");
    Krovane_Light light;
    EXPECT_TRUE(light.LoadFromTree("lamp", tree));
    expectColor(light.color, 1, 1, 1, 1);
    expectPoint(light.position, 0, 0, 0, 0);  // w stays 0 too
    expectPoint(light.look, 0, 0, 0, 0);
    EXPECT_EQ(light.falloff, 1000.0f);
    EXPECT_EQ(light.specular, 8.5f);
    EXPECT_EQ(light.ambient, 0.5f);  // the one complete key is still read
}

TEST(LightLoading, KnotsCountAsValuesAndTheirTextIsRead) {
    const DynamicRow tree = treeOf("lamp { _POSITION_ { 4 { ignored } 5 6 { } } _FALLOFF_ { 12 { x } } }");
    Krovane_Light light;
    EXPECT_TRUE(light.LoadFromTree("lamp", tree));
    expectPoint(light.position, 4, 5, 6, 1);
    EXPECT_EQ(light.falloff, 12.0f);
}

TEST(LightLoading, TheFirstOfRepeatedKeysIsRead) {
    const DynamicRow tree =
        treeOf("lamp { _POSITION_ { 1 2 3 } _POSITION_ { 4 5 6 } _SPECULAR_ { 2 } _SPECULAR_ { 3 } }");
    Krovane_Light light;
    light.LoadFromTree("lamp", tree);
    expectPoint(light.position, 1, 2, 3, 1);
    EXPECT_EQ(light.specular, 2.0f);
}

TEST(LightLoading, MissingOrEmptyNodeKeepsDefaultsButTakesTheName) {
    const DynamicRow tree = treeOf("_LIGHTS_ { bare empty { } }");
    for (const char* name : {"ghost", "bare", "empty"}) {
        SCOPED_TRACE(name);
        Krovane_Light light;
        EXPECT_FALSE(light.LoadFromTree(name, tree));
        EXPECT_EQ(light.name, name);
        expectPoint(light.position, 0, 0, 0, 0);
        expectPoint(light.look, 0, 0, 0, 0);
        expectColor(light.color, 1, 1, 1, 1);
        expectDefaultScalars(light);
    }
}

// ---- The manager: loading, log lines, numbering ---------------------------

using Line = krovane::test::LoggedLine;

// A manager printing to a log started at a fixed tick in a fresh folder.
struct LightManager : ::testing::Test {
    krovane::test::TempDir dir;
    std::unique_ptr<ConsoleLog> console;
    std::unique_ptr<Krovane_Light_Manager> manager;

    void SetUp() override {
        Clock::setManualTicks(1000);
        console = std::make_unique<ConsoleLog>();
        manager = std::make_unique<Krovane_Light_Manager>(*console);
    }
    void TearDown() override {
        manager.reset();
        console.reset();
        Clock::useRealTime();
    }
    std::vector<Line> lines() const { return krovane::test::loggedLines(*console); }
    // The names of the lights walking the list, checking the numbers and the lookup.
    std::vector<std::string> walk() const {
        std::vector<std::string> names;
        manager->entries().forEach([&](std::uint32_t number, const Krovane_Light& light) {
            EXPECT_EQ(number, names.size() + 1);
            EXPECT_EQ(manager->light(static_cast<int>(number)), &light);
            names.emplace_back(light.name.view());
        });
        EXPECT_EQ(names.size(), manager->lightCount());
        return names;
    }
};

TEST_F(LightManager, StartsEmpty) {
    EXPECT_EQ(manager->lightCount(), 0u);
    EXPECT_EQ(manager->light(1), nullptr);
    EXPECT_TRUE(lines().empty());
}

TEST_F(LightManager, SetupNumbersTheListedLightsAndPrintsEachAndTheSummary) {
    ASSERT_TRUE(treeOf("_CAMERAS_ { cam { _POSITION_ { 0 0 -10 } } }\n"
                       "_LIGHTS_ {\n"
                       "  sun { _POSITION_ { 1 2 3 } _COLOR_ { 1 0.5 0 } }\n"
                       "  \"desk lamp\" { _FALLOFF_ { 20 } }\n"
                       "  moon { _POSITION_ { -7 8 9 } }\n"
                       "}\n")
                    .iSaveToFile("POLYGON01"));
    EXPECT_TRUE(manager->SetupFromFile("POLYGON01"));

    EXPECT_EQ(lines(), (std::vector<Line>{{"[0:000] [+] Light:  sun", "_TEXT_"},
                                          {"[0:000] [+] Light:  desk lamp", "_TEXT_"},
                                          {"[0:000] [+] Light:  moon", "_TEXT_"},
                                          {"[0:000] Light Manager setup completed with 3 lights.", "_COMMENT_"}}));
    EXPECT_EQ(walk(), (std::vector<std::string>{"sun", "desk lamp", "moon"}));
    expectPoint(manager->light(1)->position, 1, 2, 3, 1);
    expectColor(manager->light(1)->color, 1, 0.5f, 0, 1);
    EXPECT_EQ(manager->light(2)->falloff, 20.0f);
    expectPoint(manager->light(3)->position, -7, 8, 9, 1);
}

TEST_F(LightManager, MissingFileReportsNoLights) {
    EXPECT_TRUE(manager->SetupFromFile("NO_SUCH_LEVEL"));
    EXPECT_EQ(manager->lightCount(), 0u);
    EXPECT_EQ(lines(), (std::vector<Line>{{"[0:000] Light Manager setup completed with 0 lights.", "_COMMENT_"}}));
}

TEST_F(LightManager, TreesWithoutListedLightsAddNone) {
    for (const char* text : {"", "_CAMERAS_ { cam { } }", "_LIGHTS_ { }", "_LIGHTS_", "x { _LIGHTS_ }"}) {
        SCOPED_TRACE(text);
        manager->LoadLights(treeOf(text));
        EXPECT_EQ(manager->lightCount(), 0u);
    }
    EXPECT_TRUE(lines().empty());
}

// A name listed without keys of its own is read from the first node of that
// name in the tree; with none but itself it is still added, with its defaults
// and no error line.
TEST_F(LightManager, ListedNameWithoutANodeOfItsOwn) {
    manager->LoadLights(treeOf("elsewhere { _POSITION_ { 5 6 7 } }\n_LIGHTS_ { bare elsewhere }"));
    EXPECT_EQ(walk(), (std::vector<std::string>{"bare", "elsewhere"}));
    expectPoint(manager->light(1)->position, 0, 0, 0, 0);
    expectDefaultScalars(*manager->light(1));
    expectPoint(manager->light(2)->position, 5, 6, 7, 1);
    EXPECT_EQ(lines(),
              (std::vector<Line>{{"[0:000] [+] Light:  bare", "_TEXT_"}, {"[0:000] [+] Light:  elsewhere", "_TEXT_"}}));
}

// A camera of the same name earlier in the file must not lend the light its keys.
TEST_F(LightManager, ListedKeysAreReadEvenWhenTheNameOccursEarlier) {
    manager->LoadLights(
        treeOf("_CAMERAS_ { main { _POSITION_ { 9 9 9 } } }\n"
               "_LIGHTS_ { main { _POSITION_ { 1 2 3 } } }"));
    expectPoint(manager->light(1)->position, 1, 2, 3, 1);
}

// ---- Markers on the recording device --------------------------------------

using Point = std::array<float, 3>;

// The points of a line-list draw, checking the seven-float vertex layout.
std::vector<Point> pointsOf(const RecordedCall& call) {
    EXPECT_EQ(call.op, DeviceOp::DrawPrimitiveUP);
    EXPECT_EQ(call.args[0], static_cast<std::uint32_t>(krovane::gfx::PrimitiveType::LineList));
    EXPECT_EQ(call.args[2], 28u);
    const std::vector<float> f = call.floats();
    EXPECT_EQ(f.size(), 7u * 2u * call.args[1]);
    std::vector<Point> points;
    for (std::size_t i = 0; i + 7 <= f.size(); i += 7) {
        EXPECT_EQ(f[i + 3], 0.0f);
        EXPECT_EQ(f[i + 6], 1.0f);
        points.push_back({f[i], f[i + 1], f[i + 2]});
    }
    return points;
}

bool isIdentity(const krovane::gfx::Matrix& m) {
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            if (m.m[i][j] != (i == j ? 1.0f : 0.0f)) return false;
    return true;
}

constexpr std::size_t kCallsPerMarker = 17;

struct LightMarker : LightManager {
    krovane::gfx::Ref<krovane::gfx::RecordingDevice> recorder = krovane::gfx::RecordingDevice::create();
    krovane::gfx::Device* device = recorder.get();
    krovane::gfx::Ref<krovane::gfx::Texture> white;
    krovane::gfx::Ref<krovane::gfx::Texture> yellow;
    TextureHolder whiteHolder, yellowHolder;

    void SetUp() override {
        LightManager::SetUp();
        const std::uint32_t whitePixel = 0xFFFFFFFF, yellowPixel = 0xFFFFFF00;
        ASSERT_EQ(device->CreateTexture(1, 1, &whitePixel, &white), krovane::gfx::kOk);
        ASSERT_EQ(device->CreateTexture(1, 1, &yellowPixel, &yellow), krovane::gfx::kOk);
        whiteHolder.texture = white;
        yellowHolder.texture = yellow;
        device->BeginScene();
        recorder->clearCalls();
    }
    void draw() { manager->DrawLights(device, &whiteHolder, &yellowHolder); }
    std::vector<DeviceOp> ops() const {
        std::vector<DeviceOp> out;
        for (const RecordedCall& call : recorder->calls()) out.push_back(call.op);
        return out;
    }
};

TEST_F(LightMarker, OneMarkerInItsPartsWithTheTexturesBetween) {
    manager->LoadLights(treeOf("_LIGHTS_ { lamp { _POSITION_ { 100 200 300 } } }"));
    krovane::gfx::Matrix moved = krovane::gfx::kIdentityMatrix;
    moved.m[3][0] = 50;  // an object's placement left behind by an earlier draw
    device->SetTransform(krovane::gfx::TransformState::World, &moved);
    recorder->clearCalls();
    draw();

    using enum DeviceOp;
    ASSERT_EQ(ops(), (std::vector<DeviceOp>{SetTransform, SetTexture, DrawPrimitiveUP, DrawPrimitiveUP, DrawPrimitiveUP,
                                            DrawPrimitiveUP, DrawPrimitiveUP, SetTexture, DrawPrimitiveUP,
                                            DrawPrimitiveUP, DrawPrimitiveUP, DrawPrimitiveUP, DrawPrimitiveUP,
                                            DrawPrimitiveUP, DrawPrimitiveUP, DrawPrimitiveUP, DrawPrimitiveUP}));
    const std::vector<RecordedCall>& c = recorder->calls();
    EXPECT_EQ(c[0].args[0], static_cast<std::uint32_t>(krovane::gfx::TransformState::World));
    ASSERT_TRUE(c[0].matrix.has_value());
    EXPECT_TRUE(isIdentity(*c[0].matrix));
    EXPECT_EQ(c[1].args[0], 0u);
    EXPECT_EQ(c[1].object, white.get());
    EXPECT_EQ(c[7].args[0], 0u);
    EXPECT_EQ(c[7].object, yellow.get());

    // The four space diagonals, then the vertical axis.
    EXPECT_EQ(pointsOf(c[2]), (std::vector<Point>{{115, 215, 315}, {85, 185, 285}}));
    EXPECT_EQ(pointsOf(c[3]), (std::vector<Point>{{115, 215, 285}, {85, 185, 315}}));
    EXPECT_EQ(pointsOf(c[4]), (std::vector<Point>{{115, 185, 285}, {85, 215, 315}}));
    EXPECT_EQ(pointsOf(c[5]), (std::vector<Point>{{85, 215, 285}, {115, 185, 315}}));
    EXPECT_EQ(pointsOf(c[6]), (std::vector<Point>{{100, 180, 300}, {100, 220, 300}}));

    // The cube: twelve edges, all on the cube P +- 15, reaching all eight corners.
    EXPECT_EQ(c[8].args[1], 12u);
    std::set<Point> corners;
    for (const Point& p : pointsOf(c[8])) {
        EXPECT_TRUE(p[0] == 85 || p[0] == 115) << p[0];
        EXPECT_TRUE(p[1] == 185 || p[1] == 215) << p[1];
        EXPECT_TRUE(p[2] == 285 || p[2] == 315) << p[2];
        corners.insert(p);
    }
    EXPECT_EQ(corners.size(), 8u);

    // The lower pyramid from the lower tip, then the upper one from the upper tip.
    const std::vector<std::vector<Point>> pyramids = {
        {{100, 180, 300}, {115, 185, 285}}, {{100, 180, 300}, {85, 185, 285}},  {{100, 180, 300}, {115, 185, 315}},
        {{100, 180, 300}, {85, 185, 315}},  {{100, 220, 300}, {115, 215, 315}}, {{100, 220, 300}, {115, 215, 285}},
        {{100, 220, 300}, {85, 215, 315}},  {{100, 220, 300}, {85, 215, 285}},
    };
    for (std::size_t i = 0; i < pyramids.size(); ++i) EXPECT_EQ(pointsOf(c[9 + i]), pyramids[i]) << i;
    EXPECT_TRUE(isIdentity(device->transform(krovane::gfx::TransformState::World)));
}

TEST_F(LightMarker, LightAtTheOriginHasItsAxisAndCubeAroundIt) {
    manager->LoadLights(treeOf("_LIGHTS_ { lamp { _COLOR_ { 1 0 0 } } }"));
    draw();
    const std::vector<RecordedCall>& c = recorder->calls();
    ASSERT_EQ(c.size(), kCallsPerMarker);
    EXPECT_EQ(pointsOf(c[6]), (std::vector<Point>{{0, -20, 0}, {0, 20, 0}}));
    const std::vector<Point> cube = pointsOf(c[8]);
    EXPECT_EQ(cube.front(), (Point{15, 15, 15}));
    EXPECT_EQ(*std::min_element(cube.begin(), cube.end()), (Point{-15, -15, -15}));
    EXPECT_EQ(*std::max_element(cube.begin(), cube.end()), (Point{15, 15, 15}));
}

TEST_F(LightMarker, EveryLightInListOrderWithTheTexturesOfTheMoment) {
    manager->LoadLights(treeOf("_LIGHTS_ { a { _POSITION_ { 1 2 3 } } b { _POSITION_ { -4 -5 -6 } } }"));
    whiteHolder.texture = nullptr;  // the slot is read when drawing, not when loading
    draw();
    const std::vector<RecordedCall>& c = recorder->calls();
    ASSERT_EQ(c.size(), 2 * kCallsPerMarker);
    EXPECT_EQ(pointsOf(c[6]), (std::vector<Point>{{1, -18, 3}, {1, 22, 3}}));
    EXPECT_EQ(pointsOf(c[kCallsPerMarker + 6]), (std::vector<Point>{{-4, -25, -6}, {-4, 15, -6}}));
    for (std::size_t start : {std::size_t{0}, kCallsPerMarker}) {
        EXPECT_EQ(c[start].op, DeviceOp::SetTransform);
        EXPECT_EQ(c[start + 1].object, nullptr);
        EXPECT_EQ(c[start + 7].object, yellow.get());
    }
}

TEST_F(LightMarker, NothingIsDrawnWithoutLightsOrDevice) {
    draw();
    EXPECT_TRUE(recorder->calls().empty());

    manager->LoadLights(treeOf("_LIGHTS_ { lamp { _POSITION_ { 1 2 3 } } }"));
    manager->DrawLights(nullptr, &whiteHolder, &yellowHolder);
    EXPECT_TRUE(recorder->calls().empty());

    manager->DrawLights(device, nullptr, nullptr);  // no holders: stage 0 is cleared
    ASSERT_EQ(recorder->calls().size(), kCallsPerMarker);
    EXPECT_EQ(recorder->calls()[1].object, nullptr);
    EXPECT_EQ(recorder->calls()[7].object, nullptr);
}

}  // namespace
