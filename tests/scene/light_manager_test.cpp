// Lights: one light read from the level tree (defaults, the w and alpha
// rules, short and repeated keys), a level's lights with their lines, numbers
// and lookup, and where their wire markers are drawn.
#include <algorithm>
#include <cstring>
#include <tuple>

#include "../scene_fixture.h"
#include "gfx/texture.h"
#include "scene/krovane_light.h"

namespace {

using namespace krovane::gfx;
using namespace krovane::test;

// Position, look, colour, then falloff, specular, its intensity, ambient, attenuation.
using Fields = std::array<float, 17>;
Fields fields(const Krovane_Light& l) {
    const auto &p = l.position, &k = l.look;
    const auto& c = l.color;
    return {p.x, p.y, p.z, p.w, k.x, k.y, k.z, k.w, c.r, c.g, c.b, c.a,
            l.falloff, l.specular, l.specularIntensity, l.ambient, l.attenuation};
}
constexpr Fields kDefaults = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1000, 8.5f, 0.19f, 0.005f, 0.8f};
Fields with(std::initializer_list<std::pair<int, float>> changes) {
    Fields f = kDefaults;
    for (auto [at, value] : changes) f[static_cast<std::size_t>(at)] = value;
    return f;
}

TEST(LightLoading, KeysDefaultsAndTheWAndAlphaRules) {
    const std::tuple<const char*, const char*, bool, Fields> cases[] = {
        // tree, name, found, fields
        {"_LIGHTS_ { lamp { _POSITION_ { 10 20 30 } } }", "lamp", true, with({{0, 10}, {1, 20}, {2, 30}, {3, 1}})},
        // Any order; a fourth value is not w, alpha is 1 whatever follows, only the first values count.
        {"lamp { _ATTENUATION_ { 0.5 } _COLOR_ { 0.5 0.25 0 7 } _LOOK_ { -1 -2.5 3e2 } _FALLOFF_ { 250 9 }"
         " _SPECULAR_ { 16 } _SPECULAR_INTENSY_ { 0.75 } _AMBIENT_ { 0.125 } _POSITION_ { 1 2 3 4 } }",
         "lamp",
         true,
         {1, 2, 3, 1, -1, -2.5f, 300, 1, 0.5f, 0.25f, 0, 1, 250, 16, 0.75f, 0.125f, 0.5f}},
        // Too few values leave the field (w too); the one complete key is read.
        {"lamp { _COLOR_ { 0.5 0.25 } _POSITION_ { } _LOOK_ _FALLOFF_ { } _SPECULAR_ _AMBIENT_ { 0.5 } }", "lamp", true,
         with({{15, 0.5f}})},
        // Knots count as values and their text is read.
        {"lamp { _POSITION_ { 4 { ignored } 5 6 { } } _FALLOFF_ { 12 { x } } }", "lamp", true,
         with({{0, 4}, {1, 5}, {2, 6}, {3, 1}, {12, 12}})},
        {"lamp { _POSITION_ { 1 2 3 } _POSITION_ { 4 5 6 } _SPECULAR_ { 2 } _SPECULAR_ { 3 } }", "lamp", true,
         with({{0, 1}, {1, 2}, {2, 3}, {3, 1}, {13, 2}})},  // the first of repeated keys
        {"_LIGHTS_ { bare empty { } }", "ghost", false, kDefaults},
        {"_LIGHTS_ { bare empty { } }", "bare", false, kDefaults},
        {"_LIGHTS_ { bare empty { } }", "empty", false, kDefaults},
    };
    for (const auto& [tree, name, found, expected] : cases) {
        Krovane_Light light;
        EXPECT_EQ(light.LoadFromTree(name, parse(tree)), found) << tree;
        EXPECT_EQ(light.name, name);
        EXPECT_EQ(fields(light), expected) << tree << " " << name;
    }
}

struct LightManager : SceneFixture<> {
    // The names walking the list, checking that numbers are dense and lookup finds each.
    std::vector<std::string> walk() const {
        std::vector<std::string> names;
        lights.entries().forEach([&](std::uint32_t number, const Krovane_Light& light) {
            EXPECT_EQ(number, names.size() + 1);
            EXPECT_EQ(lights.light(static_cast<int>(number)), &light);
            names.emplace_back(light.name.view());
        });
        for (int outside : {0, -1, static_cast<int>(names.size()) + 1, 1 << 30})
            EXPECT_EQ(lights.light(outside), nullptr);
        return names;
    }
};

// Each listed light is numbered, said, and read from its own node; a name listed without keys from the first node of
// that name, or with its defaults; a camera of the same name earlier lends nothing.
TEST_F(LightManager, SetupNumbersTheListedLightsAndPrintsEachAndTheSummary) {
    writeFile("POLYGON01",
              "elsewhere { _POSITION_ { 5 6 7 } }\n_CAMERAS_ { main { _POSITION_ { 9 9 9 } } }\n_LIGHTS_ {\n"
              "  sun { _POSITION_ { 1 2 3 } _COLOR_ { 1 0.5 0 } }\n  \"desk lamp\" { _FALLOFF_ { 20 } }\n"
              "  bare elsewhere main { _POSITION_ { -7 8 9 } }\n}\n");
    lights.LoadLights(krovane::scene::readLevel("POLYGON01"));
    std::vector<LoggedLine> said;
    for (const char* name : {"sun", "desk lamp", "bare", "elsewhere", "main"})
        said.push_back({std::string("[+] Light:  ") + name, "_TEXT_"});
    said.push_back({"Light Manager setup completed with 5 lights.", "_COMMENT_"});
    EXPECT_EQ(lines(), said);
    EXPECT_EQ(walk(), (std::vector<std::string>{"sun", "desk lamp", "bare", "elsewhere", "main"}));
    EXPECT_EQ(lights.light(2)->falloff, 20.0f);
    EXPECT_EQ(fields(*lights.light(3)), kDefaults);
    EXPECT_EQ(fields(*lights.light(4)), with({{0, 5}, {1, 6}, {2, 7}, {3, 1}}));
    EXPECT_EQ(lights.light(5)->position.x, -7.0f);
}

TEST_F(LightManager, LevelsWithoutListedLightsAddNone) {
    lights.LoadLights(krovane::scene::readLevel("NO_SUCH_LEVEL"));
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"Light Manager setup completed with 0 lights.", "_COMMENT_"}}));
    for (const char* text : {"", "_CAMERAS_ { cam { } }", "_LIGHTS_ { }", "_LIGHTS_", "x { _LIGHTS_ }"}) {
        lights.LoadLights(parse(text));
        EXPECT_EQ(lights.lightCount(), 0u) << text;
    }
}

// Each marker sits at its light in world coordinates, whatever placement an
// earlier draw left behind: a cube 15 to each side and tips 20 up and down,
// with the two textures given.
TEST_F(LightManager, MarkersSitAtTheirLightsWithTheTexturesGiven) {
    const std::uint32_t pixels[] = {0xFFFFFFFF, 0xFFFFFF00};
    Ref<Texture> white, yellow;
    ASSERT_EQ(device->CreateTexture(1, 1, &pixels[0], &white), kOk);
    ASSERT_EQ(device->CreateTexture(1, 1, &pixels[1], &yellow), kOk);
    const void *w = white.get(), *y = yellow.get();
    device->BeginScene();
    lights.LoadLights(parse("_LIGHTS_ { a { _POSITION_ { 100 200 300 } } b { _POSITION_ { -4 -5 -6 } } }"));
    lights.DrawLights(nullptr, white.get(), yellow.get());
    Matrix moved = kIdentityMatrix;
    moved.m[3][0] = 50;
    device->SetTransform(TransformState::World, &moved);
    device->clearCalls();
    lights.DrawLights(device.get(), white.get(), yellow.get());
    lights.DrawLights(device.get(), nullptr, nullptr);
    std::vector<const void*> textures;
    std::array<float, 6> box = {1e9f, 1e9f, 1e9f, -1e9f, -1e9f, -1e9f};  // lowest x y z, highest x y z
    for (const RecordedCall& c : device->calls()) {
        if (c.op == DeviceOp::SetTexture) textures.push_back(c.object);
        const std::vector<float> f = c.op == DeviceOp::DrawPrimitiveUP ? c.floats() : std::vector<float>{};
        for (std::size_t i = 0; i < f.size(); i += 7)
            for (std::size_t k = 0; k < 3; ++k) {
                box[k] = std::min(box[k], f[i + k]);
                box[k + 3] = std::max(box[k + 3], f[i + k]);
            }
    }
    EXPECT_EQ(textures, (std::vector<const void*>{w, y, w, y, nullptr, nullptr, nullptr, nullptr}));
    EXPECT_EQ(box, (std::array<float, 6>{-19, -25, -21, 115, 220, 315}));
    EXPECT_EQ(std::memcmp(&device->transform(TransformState::World), &kIdentityMatrix, sizeof(Matrix)), 0);
}

}  // namespace
