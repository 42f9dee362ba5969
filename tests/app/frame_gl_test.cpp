// The frame on real OpenGL, offscreen: the bundled level (textured models through the shipped Phong effect, three
// lights adding their shares) shows its reference picture; pictures taken within one second, with one of the user's
// own already under a name they would take, each get a file of their own, named in the log.
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

// The bundled level, bare, from its first camera at 256 x 192, against its reference: the mean colour of each
// 16 x 16 cell, within a tolerance for drivers. A wrong camera, a missing object, light or texture moves some cell.
// KROVANE_UPDATE_GOLDEN=1 rewrites the reference; the cells that differ are reported either way.
TEST_F(GlDevice, TheBundledLevelShowsItsReferencePicture) {
    OPEN_OR_SKIP();
    TempDir dir;
    std::filesystem::copy(KROVANE_DEMO_DIR, ".", std::filesystem::copy_options::recursive);
    SDL_SetWindowSize(static_cast<SDL_Window*>(window->nativeHandle()), 256, 192);
    Krovane engine;
    engine.Initialize(device, Krovane::readSettings(dir.path()));
    engine.renderManager()->setOverlayShown(false);
    for (int i = 0; i < 2; ++i) engine.renderManager()->RenderFrame(0.0f);  // the first sets the camera
    std::vector<std::uint32_t> f;
    std::uint32_t w = 0, h = 0;
    ASSERT_EQ(device->ReadPixels(f, w, h), kOk);
    ASSERT_EQ(w * 1000 + h, 256192u);
    const auto reference = std::filesystem::path(KROVANE_TESTS_DIR) / "app/frame_gl_test.bundled_level";
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
    engine.Initialize(device);
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
