// Objects that play an animation set of their model: named by a level entry,
// posed as time goes on, paused, drawn from their own posed vertices while
// the others of the same model stand still, and a model's left-out sets said once.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "gfx/vertex_buffer.h"
#include "scene_fixture.h"

namespace {

using krovane::gfx::DeviceOp;
using krovane::gfx::Vector3;
using krovane::test::LoggedLine;
using krovane::test::writeFile;

// A triangle in frame Arm, which set Slide moves from x 0 to x 2 over a second (and back to 0, as it loops); set
// B names a frame the file does not have, so it is left out with a reason.
constexpr const char* kModel = R"(xof 0303txt 0032
AnimTicksPerSecond { 10; }
Frame Arm { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }
  Mesh Tri { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;; } }
AnimationSet Slide { Animation { { Arm } AnimationKey { 2; 2; 0;3;0,0,0;;, 10;3;2,0,0;;; } } }
AnimationSet B { Animation { { L } AnimationKey { 2; 1; 0;3;0,0,0;;; } } }
)";

struct Animation : krovane::test::SceneFixture<> {
    Animation() {
        writeFile("models/arm.x", kModel);
        writeFile("objects/arm.DR", "_MODEL_FILE_ { models\\arm.x }");
    }
    // The x range of an object's box as drawn now.
    std::pair<float, float> xRange(std::uint32_t id) {
        Vector3 low, high;
        EXPECT_TRUE(object(id).bounds(low, high));
        return {low.x, high.x};
    }
    // The first vertex's x of the buffer each object's draw reads, in the order drawn.
    std::vector<float> drawnX() {
        device->clearCalls();
        objects.RenderAll();
        std::vector<float> seen;
        for (const auto& call : device->calls())
            if (call.op == DeviceOp::SetStreamSource) {
                float x = 0;
                std::memcpy(&x, static_cast<const krovane::gfx::VertexBuffer*>(call.object)->bytes(), sizeof x);
                seen.push_back(x);
            }
        return seen;
    }
};

TEST_F(Animation, ALevelEntryPlaysItsNamedSetAndTheOthersStandStill) {
    const auto entry = [](const char* animation) {
        return std::string("a { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\arm.DR } ") + animation +
               " }";
    };
    level("_LIGHTS_ { sun } _OBJECTS_ { " + entry("_ANIMATION_ { Slide }") + entry("_ANIMATION_ { 1 }") +
          entry("_ANIMATION_ { B }") + entry("") + " }");
    // The left-out set is said once for the model, not once per object; the set it lacks is named.
    const std::vector<LoggedLine> errors = [&] {
        std::vector<LoggedLine> found;
        for (const LoggedLine& line : lines())
            if (line.type == "_ERROR_") found.push_back(line);
        return found;
    }();
    EXPECT_EQ(errors, (std::vector<LoggedLine>{
                          {"models\\arm.x:6:29: animation names no frame \"L\" (animation set \"B\" left out)", "_ERROR_"},
                          {"[A.F] no such animation (B) in the model, left still: objects\\arm.DR", "_ERROR_"}}));
    EXPECT_EQ(objects.animated(), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(object(4).playing(), Static_CObject::kStill);

    // Time moves the players and only them; a pause holds them; a closed set loops.
    const struct {
        double seconds;
        bool paused;
        float x;  // of the moved frame
    } steps[] = {{0, false, 0}, {0.25, false, 0.5f}, {0.25, true, 0.5f}, {0.25, false, 1}, {0.75, false, 0.5f}};
    for (const auto& step : steps) {
        objects.pauseAnimations(step.paused);
        objects.advanceAnimations(step.seconds);
        SCOPED_TRACE(step.seconds);
        for (std::uint32_t id : {1u, 2u}) {
            EXPECT_NEAR(xRange(id).first, step.x, 1e-5f);
            EXPECT_NEAR(xRange(id).second, step.x + 1, 1e-5f);
        }
        EXPECT_EQ(xRange(4), (std::pair<float, float>{0, 1}));
        // What is drawn is the pose: each player from its own vertices, the still object from the model's.
        const std::vector<float> drawn = drawnX();
        ASSERT_EQ(drawn.size(), 4u);
        for (int i = 0; i < 2; ++i) EXPECT_NEAR(drawn[i] - drawn[3], step.x, 1e-5f) << i;
    }
}

// A reload of the object's file plays the set again from its start; a model no longer moving leaves it still.
TEST_F(Animation, AReloadedObjectPlaysAgainOrStandsStill) {
    objects.keepSources(true);
    level("_LIGHTS_ { sun } _OBJECTS_ { a { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\arm.DR } "
          "_ANIMATION_ { Slide } } }");
    objects.advanceAnimations(0.25);
    writeFile("objects/arm.DR", "_MODEL_FILE_ { models\\arm.x } ");
    objects.reloadFile(krovane::scene::fileKey("objects\\arm.DR"));
    EXPECT_EQ(object(1).playing(), 0u);
    EXPECT_EQ(object(1).playedTime(), 0.0);
    writeFile("models/arm.x", std::string(kModel).substr(0, std::string(kModel).find("AnimationSet")));
    objects.reloadFile(krovane::scene::fileKey("models\\arm.x"));
    EXPECT_EQ(object(1).playing(), Static_CObject::kStill);
    EXPECT_TRUE(objects.animated().empty());
}

}  // namespace
