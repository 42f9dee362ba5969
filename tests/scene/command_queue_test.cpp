// The command queue: lines run once per frame oldest first, each handed to
// the manager its first word names, unknown words logged as comments, and the
// queue empty afterwards.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../logged_lines.h"
#include "../temp_dir.h"
#include "console/console_log.h"
#include "gfx/geometry.h"
#include "platform/clock.h"
#include "scene/krovane_camera_manager.h"
#include "scene/krovane_command_queue.h"
#include "scene/krovane_effect_manager.h"
#include "scene/krovane_light_manager.h"
#include "scene/krovane_object_manager.h"

namespace {

using krovane::test::LoggedLine;

// The clock is set before the log starts, so the stamps count from 5000.
struct ManualClock {
    ManualClock() { krovane::platform::Clock::setManualTicks(5000); }
    ~ManualClock() { krovane::platform::Clock::useRealTime(); }
};

class CommandQueue : public ::testing::Test {
protected:
    CommandQueue() {
        DynamicRow level;
        level.loadFromText("_CAMERAS_ { a { } b { } }", "level");
        cameras.LoadCameras(level);
        loaded = krovane::test::loggedLines(log).size();
        krovane::platform::Clock::advanceTicks(2000);  // past the camera switch pacing
    }

    // Queues a line as Enter in the input box does.
    void type(const char* line) { queue.pendingTree()->AddToId(1, false, line); }
    // The lines logged after loading, stamps kept.
    std::vector<LoggedLine> newLines() {
        std::vector<LoggedLine> all = krovane::test::loggedLines(log);
        return {all.begin() + static_cast<std::ptrdiff_t>(loaded), all.end()};
    }
    // Only the root "TIME_LINE" is left.
    void expectEmpty() {
        EXPECT_EQ(queue.pending().nodeCount(), 1u);
        EXPECT_EQ(queue.pending().text(1), "TIME_LINE");
        EXPECT_EQ(queue.pending().TopId(1), 0u);
    }

    ManualClock clock;
    krovane::test::TempDir dir;
    ConsoleLog log;
    Krovane_Camera_Manager cameras{&log};
    Krovane_Light_Manager lights{log};
    Krovane_Effect_Manager effects{nullptr, log, cameras};
    Krovane_Object_Manager objects{&krovane::gfx::kIdentityMatrix, nullptr, &log, &effects, &lights};
    Krovane_Command_Queue queue{&cameras, &objects};
    std::size_t loaded = 0;
};

TEST_F(CommandQueue, StartsWithTheRootAlone) {
    expectEmpty();
    queue.ProcessCommands();
    EXPECT_TRUE(newLines().empty());
}

TEST_F(CommandQueue, LinesOfOneFrameRunInTheirOrderAndLeaveTheQueueEmpty) {
    type("cam_mngr camera.next");
    type("console after the switch");
    type("camera_manager camera.speed 2.5");
    queue.ProcessCommands();
    EXPECT_EQ(cameras.CurrentNumber(), 2);
    EXPECT_FLOAT_EQ(cameras.CurrentCamera()->moveSpeed, 2.5f);
    EXPECT_EQ(newLines(), (std::vector<LoggedLine>{
                              {"[2:000] Currient camera was changed to: camera \xB9 2", "_SYSTEM_"},
                              {"[2:000] after the switch", "_TEXT_"},
                              {"[2:000] Currient camera speed was changed to: 2.5", "_SYSTEM_"},
                          }));
    expectEmpty();
    queue.ProcessCommands();  // nothing runs twice
    EXPECT_EQ(newLines().size(), 3u);
}

TEST_F(CommandQueue, TargetsAreExactWordsAndAnythingElseIsAComment) {
    type("console");
    type("Console show me");
    type("cam_mngr");
    type("obj_mngr show.list");
    type("object_manager object.visible");
    type("a note to self");
    type("   ");
    queue.ProcessCommands();
    EXPECT_EQ(newLines(), (std::vector<LoggedLine>{
                              {"[2:000] ", "_TEXT_"},
                              {"[2:000] Console show me", "_COMMENT_"},
                              // "cam_mngr" alone: the camera manager gets an empty text and says nothing
                              {"[2:000] What are you mean?)", "_ERROR_"},
                              {"[2:000] a note to self", "_COMMENT_"},
                              {"[2:000]    ", "_COMMENT_"},
                          }));
    EXPECT_EQ(cameras.CurrentNumber(), 1);
    expectEmpty();
}

TEST(CommandQueueWithoutManagers, LinesAreDroppedSafely) {
    krovane::test::TempDir dir;
    Krovane_Command_Queue queue(nullptr, nullptr);
    for (const char* line : {"console x", "cam_mngr camera.next", "obj_mngr show.list", "note"})
        queue.pendingTree()->AddToId(1, false, line);
    queue.ProcessCommands();
    EXPECT_EQ(queue.pending().nodeCount(), 1u);
}

}  // namespace
