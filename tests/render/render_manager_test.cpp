// The render manager: point sizes, Init with every resource and with each
// one missing (its lines and count), and the frame's calls and head-up text
// in both layouts on the recording device.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "../level_files.h"
#include "../logged_lines.h"
#include "../temp_dir.h"
#include "console/krovane_console.h"
#include "gfx/recording_device.h"
#include "platform/clock.h"
#include "platform/code_page_1251.h"
#include "render/krovane_render_manager.h"
#include "scene/krovane_camera_manager.h"
#include "scene/krovane_effect_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/krovane_object_manager.h"

namespace {

using namespace krovane::gfx;
using krovane::test::LoggedLine;
using krovane::test::loggedMessages;
using krovane::test::writeBmp;
using krovane::test::writeFile;

// Keeps the head-up lines a frame shows.
class HudRecorder : public Krovane_Render_Manager {
public:
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

class RenderManager : public ::testing::Test {
protected:
    RenderManager() {
        krovane::platform::Clock::setManualTicks(0);
        writeBmp("textures/_def/white.bmp", 0xFFFFFF);
        writeBmp("textures/_def/red.bmp", 0xFF0000);
        writeBmp("textures/_def/Blue.bmp", 0x0000FF);
        writeBmp("textures/_def/yellow.bmp", 0xFFFF00);
        krovane::test::copyDemoFile("fx/vek_Phong.fx");
    }
    ~RenderManager() override {
        render.reset();
        krovane::platform::Clock::useRealTime();
    }
    void init() {
        render = std::make_unique<HudRecorder>(device.get(), &cameras, &objects, &console, &lights);
        render->Init();
    }
    std::vector<LoggedLine> lines() { return loggedMessages(console); }

    krovane::test::TempDir dir;
    Ref<RecordingDevice> device = RecordingDevice::create();
    Krovane_Console console;
    Krovane_Camera_Manager cameras{&console};
    Krovane_Light_Manager lights{console};
    Krovane_Effect_Manager effects{device.get(), console, cameras};
    Krovane_Object_Manager objects{&kIdentityMatrix, device.get(), &console, &effects, &lights};
    std::unique_ptr<HudRecorder> render;
};

TEST(RenderManagerFonts, PointsBecomePixelsAtTheScreensDpi) {
    EXPECT_EQ(Krovane_Render_Manager::pointsToPixels(8, 96), 11);
    EXPECT_EQ(Krovane_Render_Manager::pointsToPixels(16, 96), 21);
    EXPECT_EQ(Krovane_Render_Manager::pointsToPixels(8, 120), 13);
    EXPECT_EQ(Krovane_Render_Manager::pointsToPixels(8, 72), 8);
}

TEST_F(RenderManager, WithEveryFileThereOnlyTheSummaryIsPrinted) {
    init();
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"Rendering manager inicialized with 0 errors.", "_COMMENT_"}}));
    EXPECT_NE(render->whiteTexture->texture, nullptr);
    EXPECT_NE(render->Font8Verdana, nullptr);
    EXPECT_NE(render->Font6Kartika, nullptr);  // absent faces fall back to an installed one
    EXPECT_EQ(render->Font6Kartika->height(), 14);
    EXPECT_NE(render->effect, nullptr);
}

TEST_F(RenderManager, EachMissingFileIsReportedAndCounted) {
    std::filesystem::remove("textures/_def/red.bmp");
    std::filesystem::remove("textures/_def/yellow.bmp");
    std::filesystem::remove("fx/vek_Phong.fx");
    testing::internal::CaptureStderr();
    init();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{
                           {"missed: textures\\_def\\red.bmp", "_ERROR_"},
                           {"missed: textures\\_def\\yellow.bmp", "_ERROR_"},
                           {"missed:  fx\\vek_Phong.fx", "_ERROR_"},
                           {"Rendering manager inicialized with 3 errors.", "_COMMENT_"},
                       }));
    EXPECT_EQ(render->redTexture->texture, nullptr);
    EXPECT_EQ(render->effect, nullptr);
}

TEST_F(RenderManager, TheNormalFrameShowsFourHudLinesThenTheScene) {
    writeFile("level.DR", "_CAMERAS_ { cam { _POSITION_ { -0.5 2.9 10 } _LOOK_ { 0 0 0 } } }");
    cameras.SetupFromFile("level.DR");
    init();
    device->clearCalls();
    render->RenderFrame(0.0f);
    const auto hud = render->lines;
    ASSERT_EQ(hud.size(), 4u);
    EXPECT_EQ(hud[0], (HudRecorder::Line{std::string(krovane::cp1251("Текушая камера : 1").c_str()), 5, 5}));
    EXPECT_EQ(hud[1], (HudRecorder::Line{std::string(krovane::cp1251("Число объектов : 0").c_str()), 5, 15}));
    EXPECT_EQ(hud[2], (HudRecorder::Line{
                          std::string(krovane::cp1251("Камера в : Position 0 2 10  Rotation 0 0 0").c_str()), 5, 25}));
    EXPECT_EQ(hud[3], (HudRecorder::Line{"0 fps", 5, 45}));

    const auto& calls = device->calls();
    ASSERT_GE(calls.size(), 4u);
    EXPECT_EQ(calls[0].op, DeviceOp::Clear);
    EXPECT_EQ(calls[0].args[1], kClearTarget | kClearZBuffer);
    EXPECT_EQ(calls[0].args[2], 0xFF6482AAu);
    EXPECT_EQ(calls[1].op, DeviceOp::BeginScene);
    EXPECT_EQ(calls[2].op, DeviceOp::SetRenderState);
    EXPECT_EQ(calls[2].args[1], kFillSolid);
    EXPECT_EQ(calls[calls.size() - 2].op, DeviceOp::EndScene);
    EXPECT_EQ(calls.back().op, DeviceOp::Present);
    bool camera = false;
    for (const auto& c : calls)
        camera =
            camera || (c.op == DeviceOp::SetTransform && c.args[0] == static_cast<std::uint32_t>(TransformState::View));
    EXPECT_TRUE(camera);
}

TEST_F(RenderManager, HudNumbersAreTruncatedAndClampedAndNanShowsZero) {
    writeFile("level.DR", "_CAMERAS_ { cam { _POSITION_ { 1e30 -1e30 -2.9 } _LOOK_ { 2147483520 0.99 -7.5 } } }");
    cameras.SetupFromFile("level.DR");
    init();
    struct Case {
        float x, fps;
        const char* position;
        const char* fpsText;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
    for (const Case& c : {Case{1e30f, 59.9f, "2147483647 -2147483648 -2", "59 fps"},
                          Case{nan, nan, "0 -2147483648 -2", "0 fps"},
                          Case{-inf, inf, "-2147483648 -2147483648 -2", "2147483647 fps"}}) {
        cameras.CurrentCamera()->position.x = c.x;
        render->lines.clear();
        render->RenderFrame(c.fps);
        ASSERT_EQ(render->lines.size(), 4u);
        EXPECT_EQ(render->lines[2].text, krovane::cp1251("Камера в : Position ").c_str() + std::string(c.position) +
                                             "  Rotation 2147483520 0 -7");
        EXPECT_EQ(render->lines[3].text, c.fpsText);
    }
}

TEST_F(RenderManager, TheConsoleViewIsWireframeWithMarkersAndOnlyTheFrameRate) {
    writeFile("level.DR", "_CAMERAS_ { a { _POSITION_ { 0 0 -10 } } b { _POSITION_ { 5 0 -10 } } } _LIGHTS_ { sun }");
    cameras.SetupFromFile("level.DR");
    lights.SetupFromFile("level.DR");
    init();
    console.setVisible(true);
    device->clearCalls();
    render->RenderFrame(61.7f);
    EXPECT_EQ(render->lines, (std::vector<HudRecorder::Line>{{"61 fps", 9, 2}}));
    std::vector<std::uint32_t> fills;
    std::vector<const void*> textures;
    for (const auto& c : device->calls()) {
        if (c.op == DeviceOp::SetRenderState && c.args[0] == static_cast<std::uint32_t>(RenderState::FillMode))
            fills.push_back(c.args[1]);
        if (c.op == DeviceOp::SetTexture &&
            (c.object == render->whiteTexture->texture.get() || c.object == render->redTexture->texture.get()))
            textures.push_back(c.object);
    }
    ASSERT_GE(fills.size(), 2u);
    EXPECT_EQ(fills[0], kFillSolid);
    EXPECT_EQ(fills[1], kFillWireframe);
    ASSERT_GE(textures.size(), 2u);
    EXPECT_EQ(textures[0], render->whiteTexture->texture.get());  // camera markers in white
    EXPECT_EQ(textures[1], render->redTexture->texture.get()); // then the lights
}

TEST_F(RenderManager, ALevelWithoutCamerasStillDrawsItsFrame) {
    init();
    device->clearCalls();
    render->RenderFrame(12.0f);
    ASSERT_EQ(render->lines.size(), 4u);
    EXPECT_EQ(render->lines[0].text, std::string(krovane::cp1251("Текушая камера : -").c_str()));
    EXPECT_EQ(device->calls().back().op, DeviceOp::Present);
}

}  // namespace
