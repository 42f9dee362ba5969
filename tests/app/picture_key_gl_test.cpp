// The picture key on a device that keeps the frame: pictures taken within one second, with one of the user's own
// already under a name they would take, each get a file of their own, named in the log.
#include <fstream>
#include <sstream>

#include "../level_files.h"
#include "../logged_lines.h"
#include "../temp_dir.h"
#include "app/main_loop.h"
#include "gfx/gl_fixture.h"
#include "platform/clock.h"
#include "platform/virtual_keys.h"

namespace {

using namespace krovane::test;
using krovane::platform::Clock;
using krovane::platform::WindowEvent;

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
