// Lights: one light read from the level tree (defaults, the w and alpha
// rules, short and repeated keys), a level's lights with their lines, numbers
// and lookup, and the wire markers drawn on the recording device.
#include <cstring>
#include <set>

#include "../scene_fixture.h"
#include "gfx/texture.h"
#include "gfx/texture_holder.h"
#include "scene/krovane_light.h"

namespace {

using namespace krovane::gfx;
using namespace krovane::test;

// Position, look, colour, then falloff, specular, its intensity, ambient, attenuation.
using Fields = std::array<float, 17>;
Fields fields(const Krovane_Light& l) {
    const auto& p = l.position;
    const auto& k = l.look;
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
    const struct {
        const char* tree;
        const char* name;
        bool found;
        Fields expected;
    } cases[] = {
        {"_LIGHTS_ { lamp { _POSITION_ { 10 20 30 } } }", "lamp", true, with({{0, 10}, {1, 20}, {2, 30}, {3, 1}})},
        // Any order; a fourth value is not w, alpha is 1 whatever follows, only the first values count.
        {"lamp { _ATTENUATION_ { 0.5 } _COLOR_ { 0.5 0.25 0 7 } _LOOK_ { -1 -2.5 3e2 } _FALLOFF_ { 250 9 }"
         " _SPECULAR_ { 16 } _SPECULAR_INTENSY_ { 0.75 } _AMBIENT_ { 0.125 } _POSITION_ { 1 2 3 4 } }",
         "lamp", true, {1, 2, 3, 1, -1, -2.5f, 300, 1, 0.5f, 0.25f, 0, 1, 250, 16, 0.75f, 0.125f, 0.5f}},
        // Too few values leave the field (w too); the one complete key is read.
        {"lamp { _COLOR_ { 0.5 0.25 } _POSITION_ { } _LOOK_ _FALLOFF_ { } _SPECULAR_ _AMBIENT_ { 0.5 } }", "lamp",
         true, with({{15, 0.5f}})},
        // Knots count as values and their text is read.
        {"lamp { _POSITION_ { 4 { ignored } 5 6 { } } _FALLOFF_ { 12 { x } } }", "lamp", true,
         with({{0, 4}, {1, 5}, {2, 6}, {3, 1}, {12, 12}})},
        {"lamp { _POSITION_ { 1 2 3 } _POSITION_ { 4 5 6 } _SPECULAR_ { 2 } _SPECULAR_ { 3 } }", "lamp", true,
         with({{0, 1}, {1, 2}, {2, 3}, {3, 1}, {13, 2}})},  // the first of repeated keys
        {"_LIGHTS_ { bare empty { } }", "ghost", false, kDefaults},
        {"_LIGHTS_ { bare empty { } }", "bare", false, kDefaults},
        {"_LIGHTS_ { bare empty { } }", "empty", false, kDefaults},
    };
    for (const auto& c : cases) {
        Krovane_Light light;
        EXPECT_EQ(light.LoadFromTree(c.name, treeOf(c.tree)), c.found) << c.tree;
        EXPECT_EQ(light.name, c.name);
        EXPECT_EQ(fields(light), c.expected) << c.tree << " " << c.name;
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
        EXPECT_EQ(names.size(), lights.lightCount());
        for (int outside : {0, -1, static_cast<int>(names.size()) + 1, 1 << 30}) EXPECT_EQ(lights.light(outside), nullptr);
        return names;
    }
};

TEST_F(LightManager, SetupNumbersTheListedLightsAndPrintsEachAndTheSummary) {
    EXPECT_TRUE(walk().empty());
    writeFile("POLYGON01", "_CAMERAS_ { cam { _POSITION_ { 0 0 -10 } } }\n_LIGHTS_ {\n"
                           "  sun { _POSITION_ { 1 2 3 } _COLOR_ { 1 0.5 0 } }\n"
                           "  \"desk lamp\" { _FALLOFF_ { 20 } }\n  moon { _POSITION_ { -7 8 9 } }\n}\n");
    EXPECT_TRUE(lights.SetupFromFile("POLYGON01"));
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"[+] Light:  sun", "_TEXT_"},
                                                {"[+] Light:  desk lamp", "_TEXT_"},
                                                {"[+] Light:  moon", "_TEXT_"},
                                                {"Light Manager setup completed with 3 lights.", "_COMMENT_"}}));
    EXPECT_EQ(walk(), (std::vector<std::string>{"sun", "desk lamp", "moon"}));
    EXPECT_EQ(fields(*lights.light(1)), with({{0, 1}, {1, 2}, {2, 3}, {3, 1}, {9, 0.5f}, {10, 0}}));
    EXPECT_EQ(lights.light(2)->falloff, 20.0f);
    EXPECT_EQ(lights.light(3)->position.x, -7.0f);
}

TEST_F(LightManager, LevelsWithoutListedLightsAddNone) {
    EXPECT_TRUE(lights.SetupFromFile("NO_SUCH_LEVEL"));
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"Light Manager setup completed with 0 lights.", "_COMMENT_"}}));
    for (const char* text : {"", "_CAMERAS_ { cam { } }", "_LIGHTS_ { }", "_LIGHTS_", "x { _LIGHTS_ }"}) {
        lights.LoadLights(treeOf(text));
        EXPECT_EQ(lights.lightCount(), 0u) << text;
    }
    EXPECT_EQ(lines().size(), 1u);
}

// A name listed without keys is read from the first node of that name, or
// added with its defaults; a camera of the same name earlier lends nothing.
TEST_F(LightManager, ListedNamesAndTheirNodes) {
    lights.LoadLights(treeOf("elsewhere { _POSITION_ { 5 6 7 } }\n_LIGHTS_ { bare elsewhere }"));
    EXPECT_EQ(walk(), (std::vector<std::string>{"bare", "elsewhere"}));
    EXPECT_EQ(fields(*lights.light(1)), kDefaults);
    EXPECT_EQ(fields(*lights.light(2)), with({{0, 5}, {1, 6}, {2, 7}, {3, 1}}));
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"[+] Light:  bare", "_TEXT_"}, {"[+] Light:  elsewhere", "_TEXT_"}}));
    lights.LoadLights(treeOf("_CAMERAS_ { main { _POSITION_ { 9 9 9 } } }\n_LIGHTS_ { main { _POSITION_ { 1 2 3 } } }"));
    EXPECT_EQ(lights.light(3)->position.x, 1.0f);
}

struct LightMarker : LightManager {
    Ref<Texture> white, yellow;
    TextureHolder whiteHolder, yellowHolder;
    void SetUp() override {
        const std::uint32_t pixels[] = {0xFFFFFFFF, 0xFFFFFF00};
        ASSERT_EQ(device->CreateTexture(1, 1, &pixels[0], &white), kOk);
        ASSERT_EQ(device->CreateTexture(1, 1, &pixels[1], &yellow), kOk);
        whiteHolder.texture = white;
        yellowHolder.texture = yellow;
        device->BeginScene();
        Matrix moved = kIdentityMatrix;
        moved.m[3][0] = 50;  // an object's placement left behind by an earlier draw
        device->SetTransform(TransformState::World, &moved);
        device->clearCalls();
    }
    using Segment = std::pair<std::array<float, 3>, std::array<float, 3>>;
    // Per marker drawn: the textures set, the world reset, and its line segments.
    struct Marker {
        std::vector<const void*> textures;
        std::set<Segment> segments;
        std::size_t drawn = 0;
    };
    std::vector<Marker> markers() {
        std::vector<Marker> out;
        for (const RecordedCall& c : device->calls()) {
            if (c.op == DeviceOp::SetTransform) {
                EXPECT_EQ(std::memcmp(&*c.matrix, &kIdentityMatrix, sizeof(Matrix)), 0);
                out.emplace_back();
            } else if (c.op == DeviceOp::SetTexture) {
                out.back().textures.push_back(c.object);
            } else if (c.op == DeviceOp::DrawPrimitiveUP) {
                EXPECT_EQ(c.args[0], static_cast<std::uint32_t>(PrimitiveType::LineList));
                const std::vector<float> f = c.floats();
                EXPECT_EQ(f.size(), 14u * c.args[1]);
                for (std::size_t i = 0; i + 14 <= f.size(); i += 14, ++out.back().drawn)
                    out.back().segments.insert({{f[i], f[i + 1], f[i + 2]}, {f[i + 7], f[i + 8], f[i + 9]}});
            }
        }
        return out;
    }
};

// Each marker: the four space diagonals and twelve edges of the cube P +- 15,
// the vertical axis between the tips P -+ 20, and a pyramid from each tip to
// the four corners on its side: 25 distinct segments between those 10 points.
TEST_F(LightMarker, EachLightsMarkerJoinsItsCubeAndTipsWithTheTexturesOfTheMoment) {
    lights.LoadLights(treeOf("_LIGHTS_ { a { _POSITION_ { 100 200 300 } } b { _POSITION_ { -4 -5 -6 } } }"));
    lights.DrawLights(device.get(), &whiteHolder, &yellowHolder);
    yellowHolder.texture = nullptr;  // the slot is read when drawing, not when loading
    lights.DrawLights(device.get(), &whiteHolder, &yellowHolder);
    lights.DrawLights(device.get(), nullptr, nullptr);  // no holders: stage 0 is cleared
    const std::vector<Marker> drawn = markers();
    ASSERT_EQ(drawn.size(), 6u);
    const std::vector<const void*> textures[] = {{white.get(), yellow.get()}, {white.get(), nullptr}, {nullptr, nullptr}};
    for (std::size_t m = 0; m < drawn.size(); ++m) {
        const float cx = m % 2 ? -4.0f : 100.0f, cy = m % 2 ? -5.0f : 200.0f, cz = m % 2 ? -6.0f : 300.0f;
        EXPECT_EQ(drawn[m].textures, textures[m / 2]) << m;
        EXPECT_EQ(drawn[m].drawn, 25u);
        EXPECT_EQ(drawn[m].segments.size(), 25u);
        std::set<std::array<float, 3>> points;
        for (const auto& [from, to] : drawn[m].segments) points.insert(from), points.insert(to);
        std::set<std::array<float, 3>> expected = {{cx, cy - 20, cz}, {cx, cy + 20, cz}};
        for (float dx : {-15.0f, 15.0f})
            for (float dy : {-15.0f, 15.0f})
                for (float dz : {-15.0f, 15.0f}) expected.insert({cx + dx, cy + dy, cz + dz});
        EXPECT_EQ(points, expected) << m;
        EXPECT_TRUE(drawn[m].segments.count({{cx, cy - 20, cz}, {cx, cy + 20, cz}})) << m;
    }
    EXPECT_EQ(std::memcmp(&device->transform(TransformState::World), &kIdentityMatrix, sizeof(Matrix)), 0);
}

TEST_F(LightMarker, NothingIsDrawnWithoutLightsOrDevice) {
    lights.DrawLights(device.get(), &whiteHolder, &yellowHolder);
    lights.LoadLights(treeOf("_LIGHTS_ { lamp }"));
    lights.DrawLights(nullptr, &whiteHolder, &yellowHolder);
    EXPECT_TRUE(device->calls().empty());
}

}  // namespace
