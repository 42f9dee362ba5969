// The render manager: point sizes, Init with every resource and with some
// missing, and the frame's calls and head-up text in both layouts and without the overlay.
#include <limits>

#include "../scene_fixture.h"
#include "console/krovane_console.h"
#include "platform/code_page_1251.h"
#include "render/krovane_render_manager.h"

namespace {

using namespace krovane::gfx;
using namespace krovane::test;

// Keeps the head-up lines a frame shows.
struct HudRecorder : Krovane_Render_Manager {
    using Krovane_Render_Manager::Krovane_Render_Manager;
    void DrawHudText(const Korvane_string& text, int x, int y) override {
        lines.push_back({std::string(text.getChars()), x, y});
        Krovane_Render_Manager::DrawHudText(text, x, y);
    }
    struct Line {
        std::string text;
        int x, y;
        bool operator==(const Line&) const = default;
    };
    std::vector<Line> lines;
};
using Hud = std::vector<HudRecorder::Line>;
#define CP(utf8) std::string(krovane::cp1251(utf8).c_str())

struct RenderManager : SceneFixture<Krovane_Console> {
    void SetUp() override { writeRendererFiles(); }
    void init() {
        render = std::make_unique<HudRecorder>(device.get(), &log);
        render->setLevel(&scene.level);
        render->Init();
    }
    // One frame: its head-up lines; its calls stay on the device.
    Hud frame(float fps) {
        render->lines.clear();
        device->clearCalls();
        render->RenderFrame(fps);
        EXPECT_EQ(device->calls().back().op, DeviceOp::Present);
        return render->lines;
    }
    // The last frame's fill modes, and the textures of the markers, in order.
    std::vector<std::string> seen() {
        std::vector<std::string> out;
        for (const auto& c : device->calls()) {
            if (c.op == DeviceOp::SetRenderState && c.args[0] == static_cast<std::uint32_t>(RenderState::FillMode))
                out.push_back(c.args[1] == kFillSolid ? "solid" : "wireframe");
            if (c.op == DeviceOp::SetTexture && c.object == render->whiteTexture()) out.push_back("white");
            if (c.op == DeviceOp::SetTexture && c.object == render->redTexture()) out.push_back("red");
        }
        return out;
    }
    std::unique_ptr<HudRecorder> render;
};

TEST(RenderManagerFonts, PointsBecomePixelsAtTheScreensDpi) {
    for (const auto& [points, dpi, pixels] : {std::tuple{8, 96, 11}, {16, 96, 21}, {8, 120, 13}, {8, 72, 8}})
        EXPECT_EQ(Krovane_Render_Manager::pointsToPixels(points, dpi), pixels) << points << " " << dpi;
}

TEST_F(RenderManager, EachMissingFileIsReportedAndCounted) {
    init();
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"Rendering manager inicialized with 0 errors.", "_COMMENT_"}}));
    EXPECT_EQ(render->kartikaFont() ? render->kartikaFont()->height() : 0, 14);  // an absent face falls back

    for (const char* file : {"textures/_def/red.bmp", "textures/_def/yellow.bmp", "fx/vek_Phong.fx"})
        std::filesystem::remove(file);
    init();
    EXPECT_EQ(lines(1), (std::vector<LoggedLine>{{"missed: textures\\_def\\red.bmp", "_ERROR_"},
                                                 {"missed: textures\\_def\\yellow.bmp", "_ERROR_"},
                                                 {"missed:  fx\\vek_Phong.fx", "_ERROR_"},
                                                 {"fx\\vek_Phong.fx: no such file", "_ERROR_"},  // why, not counted
                                                 {"Rendering manager inicialized with 3 errors.", "_COMMENT_"}}));
}

TEST_F(RenderManager, TheNormalFrameShowsFourHudLinesThenTheScene) {
    init();
    EXPECT_EQ(frame(12.0f)[0].text, CP("Текушая камера : -"));  // a level without cameras still draws
    writeFile("level.DR", "_CAMERAS_ { cam { _POSITION_ { -0.5 2.9 10 } _LOOK_ { 0 0 0 } } }");
    cameras.LoadCameras(krovane::scene::readLevel("level.DR"));
    EXPECT_EQ(frame(0.0f), (Hud{{CP("Текушая камера : 1"), 5, 5},
                                {CP("Число объектов : 0"), 5, 15},
                                {CP("Камера в : Position 0 2 10  Rotation 0 0 0"), 5, 25},
                                {"0 fps", 5, 45}}));
    const auto& calls = device->calls();
    EXPECT_EQ(calls[0].op, DeviceOp::Clear);
    EXPECT_EQ((std::vector<std::uint32_t>{calls[0].args[1], calls[0].args[2]}),
              (std::vector<std::uint32_t>{kClearTarget | kClearZBuffer, 0xFF6482AAu}));
    EXPECT_EQ(calls[calls.size() - 2].op, DeviceOp::EndScene);
    EXPECT_EQ(device->transform(TransformState::View).m[3][2], cameras.CurrentCamera()->view.m[3][2]);

    // Numbers truncated and clamped; NaN shows 0.
    cameras.CurrentCamera()->position = {1e30f, -1e30f, -2.9f};
    cameras.CurrentCamera()->look = {2147483520.0f, 0.99f, -7.5f};
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (const auto& [x, fps, position, fpsText] : {std::tuple{1e30f, 59.9f, "2147483647 -2147483648 -2", "59 fps"},
                                                    {nan, nan, "0 -2147483648 -2", "0 fps"},
                                                    {-inf, inf, "-2147483648 -2147483648 -2", "2147483647 fps"}}) {
        cameras.CurrentCamera()->position.x = x;
        const Hud hud = frame(fps);
        ASSERT_EQ(hud.size(), 4u);
        EXPECT_EQ(hud[2].text, CP("Камера в : Position ") + position + "  Rotation 2147483520 0 -7");
        EXPECT_EQ(hud[3].text, fpsText);
    }
}

// The console view: wireframe, the markers of cameras and lights in their textures, the rate alone, then the console
// solid. Without the overlay a frame is the scene alone, drawn solid once, the console open or not.
TEST_F(RenderManager, TheConsoleViewHasMarkersAndTheRateAndWithoutTheOverlayOnlyTheSceneIsDrawn) {
    level("_CAMERAS_ { a { _POSITION_ { 0 0 -10 } } b { _POSITION_ { 5 0 -10 } } } _LIGHTS_ { sun }");
    init();
    const std::vector<std::string> solid = {"solid"}, markers = {"solid", "wireframe", "white", "red", "white", "solid"};
    for (const auto& [overlay, consoleOpen, hud, seenInOrder] : {std::tuple{true, true, Hud{{"61 fps", 9, 2}}, markers},
                                                                 {false, false, Hud{}, solid},
                                                                 {false, true, Hud{}, solid}}) {
        render->setOverlayShown(overlay);
        log.setVisible(consoleOpen);
        EXPECT_EQ(frame(61.7f), hud) << overlay << consoleOpen;
        EXPECT_EQ(seen(), seenInOrder) << overlay << consoleOpen;
    }
}

}  // namespace
