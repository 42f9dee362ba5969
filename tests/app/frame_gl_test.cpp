// The frame on real OpenGL, offscreen: a textured model through the shipped Phong effect lands where the camera sees
// it, and a second light adds its share; the bundled level shows its reference picture; pictures taken within one
// second, with one of the user's own already under a name they would take, each get a file of their own, named in
// the log.
#include <SDL2/SDL.h>  // to size the window as the user does

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <sstream>

#include "../scene_fixture.h"
#include "app/main_loop.h"
#include "gfx/gl_fixture.h"
#include "platform/virtual_keys.h"

using namespace krovane::app;

namespace {

using namespace krovane::test;
using krovane::platform::Clock;
using krovane::platform::WindowEvent;

struct ObjectGl : GlDevice {
    TempDir dir;
    // Draws one frame of the level (camera first, so that the objects see its transforms).
    std::vector<std::uint32_t> draw(const std::string& level) {
        copyDemoFile("fx/vek_Phong.fx");
        writeFile("models/square.x", squareModel({"red.bmp"}));
        writeBmp("textures/red.bmp", 0xFF0000);
        writeFile("objects/square.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { vek_Phong }");
        writeFile("POLYGON01", level);
        Managers<> scene(device.get());
        scene.setup("POLYGON01");
        clear(0xFF000000);
        device->BeginScene();
        scene.cameras.CurrentCamera()->ApplyTransforms(device.get());
        scene.objects.RenderAll();
        device->EndScene();
        return frame();
    }
};

constexpr const char* kLevel = R"(
_CAMERAS_ { eye { _POSITION_ { 0 0 -4 } _LOOK_ { 0 0 0 } } }
_LIGHTS_ { front { _POSITION_ { 0 0 -3 } _COLOR_ { 1 1 1 } _ATTENUATION_ { 0 } _AMBIENT_ { 0 } _SPECULAR_INTENSY_ { 0 } } }
_EFFECTS_ { vek_Phong { _FILE_FX_ { fx\vek_Phong.fx } _FILE_ { none } } }
_OBJECTS_ { square { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\square.DR } _POSITION_ { 1.5 0 0 } } })";

TEST_F(ObjectGl, ATexturedModelLandsWhereTheCameraSeesItAndASecondLightAdds) {
    OPEN_OR_SKIP();
    // The square spans x 0.5 to 2.5 in the world: right of the middle of the view.
    const auto one = draw(kLevel);
    const std::uint32_t lit = at(one, kWidth * 3 / 4, kHeight / 2);
    EXPECT_GT(lit >> 16, 15u) << std::hex << lit;  // the red texture times the material's 0.1 red, lit
    EXPECT_EQ(lit & 0xFFFF, 0u) << std::hex << lit;
    EXPECT_EQ(at(one, kWidth / 8, kHeight / 2), 0u);  // nothing left of the middle
    std::string two = kLevel;
    two.replace(two.find("_LIGHTS_ {") + 10, 0,
                " again { _POSITION_ { 0 0 -3 } _COLOR_ { 1 1 1 } _ATTENUATION_ { 0 } _SPECULAR_INTENSY_ { 0 } }");
    EXPECT_NEAR(static_cast<double>(at(draw(two), kWidth * 3 / 4, kHeight / 2) >> 16), 2.0 * (lit >> 16), 4.0);
}

// The bundled level, bare, from its first camera at 256 x 192, against its reference: the mean colour of each
// 16 x 16 cell, within a tolerance for drivers. A wrong camera, a missing object, light or texture moves some cell.
// KROVANE_UPDATE_GOLDEN=1 rewrites the reference; the cells that differ are reported either way.
TEST_F(GlDevice, TheBundledLevelShowsItsReferencePicture) {
    OPEN_OR_SKIP();
    TempDir dir;
    std::filesystem::copy(KROVANE_DEMO_DIR, ".", std::filesystem::copy_options::recursive);
    SDL_SetWindowSize(static_cast<SDL_Window*>(window->nativeHandle()), 256, 192);
    Krovane engine;
    const DynamicRow config = Krovane::LoadIniParameters("ini.txt");
    engine.ReadRenderSettings(&config);
    engine.adoptDevice(device);
    engine.Initialize();
    engine.renderManager()->setOverlayShown(false);
    for (int i = 0; i < 2; ++i) engine.renderManager()->RenderFrame(0.0f);  // the first sets the camera
    std::vector<std::uint32_t> f;
    std::uint32_t w = 0, h = 0;
    ASSERT_EQ(device->ReadPixels(f, w, h), kOk);
    ASSERT_EQ(w * 1000 + h, 256192u);
    const auto reference = std::filesystem::path(__FILE__).replace_extension(".bundled_level");
    std::ifstream in(reference);
    std::ostringstream rewritten;
    for (std::uint32_t top = 0; top < h; top += 16) {
        for (std::uint32_t left = 0; left < w; left += 16) {
            std::uint32_t sum[3] = {}, expected = 0;
            for (std::uint32_t i = 0; i < 256; ++i)
                for (int c = 0; c < 3; ++c) sum[c] += f[(top + i / 16) * w + left + i % 16] >> (16 - 8 * c) & 0xFF;
            const std::uint32_t mean = sum[0] / 256 << 16 | sum[1] / 256 << 8 | sum[2] / 256;
            in >> std::hex >> expected;
            int off = 0;  // the largest distance of a channel from the reference
            for (int shift : {0, 8, 16})
                off = std::max(off, std::abs(static_cast<int>((mean >> shift & 0xFF) - (expected >> shift & 0xFF))));
            EXPECT_LE(off, 12) << "the cell at " << left << ", " << top << ": " << std::hex << mean
                               << ", the reference " << expected;
            rewritten << (left ? " " : "") << std::hex << std::setw(6) << std::setfill('0') << mean;
        }
        rewritten << "\n";
    }
    if (std::getenv("KROVANE_UPDATE_GOLDEN")) std::ofstream(reference) << rewritten.str();
    engine.Shutdown();
}

TEST_F(GlDevice, PicturesTakenWithinOneSecondEachGetAFileOfTheirOwn) {
    OPEN_OR_SKIP();
    TempDir dir;
    copyDemoFile("fx/vek_Phong.fx");
    writeFile("shot_2026-12-07_03-05-12_2.png", "the user's own");
    Clock::setManualUtc({2026, 12, 7, 3, 5, 12});
    Krovane engine;
    engine.adoptDevice(device);
    engine.Initialize();
    MainLoop loop(engine);
    for (int press = 0; press < 2; ++press) {
        loop.handleEvent(WindowEvent{WindowEvent::Type::KeyDown, 0, 0, krovane::platform::kVkSnapshot, false});
        loop.idlePass();
    }
    const std::vector<LoggedLine> lines = loggedMessages(*engine.console());
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(std::vector(lines.end() - 2, lines.end()),
              (std::vector<LoggedLine>{{"Picture saved: shot_2026-12-07_03-05-12.png", "_COMMENT_"},
                                       {"Picture saved: shot_2026-12-07_03-05-12_3.png", "_COMMENT_"}}));
    for (const char* file : {"shot_2026-12-07_03-05-12.png", "shot_2026-12-07_03-05-12_3.png"})
        EXPECT_EQ(std::ifstream(file).get(), 0x89) << file;  // a PNG
    std::ostringstream own;
    own << std::ifstream("shot_2026-12-07_03-05-12_2.png").rdbuf();
    EXPECT_EQ(own.str(), "the user's own");
    engine.Shutdown();
    Clock::useRealTime();
}

}  // namespace
