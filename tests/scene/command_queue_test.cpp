// The command queue: lines run once per frame oldest first, each handed to
// the manager its first word names, anything else logged as a comment, and
// the queue left with its root alone.
#include "../scene_fixture.h"
#include "scene/krovane_command_queue.h"

namespace {

using namespace krovane::test;

struct CommandQueue : SceneFixture<> {
    Krovane_Command_Queue queue{&scene.level};
    std::size_t loaded = 0;
    void SetUp() override {
        cameras.LoadCameras(parse("_CAMERAS_ { a { } b { } }"));
        loaded = lines().size();
        krovane::platform::Clock::advanceTicks(2000);  // past the camera switch pacing
    }
    // Queues lines as Enter in the input box does, then runs a frame.
    void run(std::initializer_list<const char*> typed) {
        for (const char* line : typed) queue.queueLine(line);
        queue.ProcessCommands();
        EXPECT_EQ(queue.pending().nodeCount(), 1u);
    }
};

TEST_F(CommandQueue, LinesOfOneFrameRunInTheirOrderOnce) {
    run({"cam_mngr camera.next", "console after the switch", "camera_manager camera.speed 2.5"});
    EXPECT_EQ(cameras.CurrentNumber(), 2);
    EXPECT_EQ(cameras.CurrentCamera()->moveSpeed, 2.5f);
    const std::vector<LoggedLine> expected = {{"Currient camera was changed to: camera \xB9 2", "_SYSTEM_"},
                                              {"after the switch", "_TEXT_"},
                                              {"Currient camera speed was changed to: 2.5", "_SYSTEM_"}};
    EXPECT_EQ(lines(loaded), expected);
    run({});  // nothing runs twice
    EXPECT_EQ(lines(loaded), expected);
}

TEST_F(CommandQueue, TargetsAreExactWordsAndAnythingElseIsAComment) {
    run({"console", "Console show me", "cam_mngr", "obj_mngr show.list", "object_manager object.visible",
         "a note to self", "   "});
    // "cam_mngr" alone: the camera manager gets an empty text and says nothing.
    EXPECT_EQ(lines(loaded), (std::vector<LoggedLine>{{"", "_TEXT_"},
                                                      {"Console show me", "_COMMENT_"},
                                                      {"What are you mean?)", "_ERROR_"},
                                                      {"a note to self", "_COMMENT_"},
                                                      {"   ", "_COMMENT_"}}));
    EXPECT_EQ(cameras.CurrentNumber(), 1);
}

}  // namespace
