// Objects that play an animation set of their model: named by a level entry,
// posed as time goes on, paused, drawn from their own posed vertices while
// the others of the same model stand still, and a model's left-out sets said once.
#include <gtest/gtest.h>

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
    // An object's box as drawn now: its lowest and highest x.
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
            if (call.op == DeviceOp::SetStreamSource)
                seen.push_back(*reinterpret_cast<const float*>(
                    static_cast<const krovane::gfx::VertexBuffer*>(call.object)->bytes()));
        return seen;
    }
};

// Entries name a set by name or number; one the model lacks is said; time, a pause and a loop move the players
// alone, which draw their own pose; a reload plays again from the start, or leaves still a model that lost its sets.
TEST_F(Animation, ALevelEntryPlaysItsSetAndTheOthersStandStill) {
    writeFile("models/arm.x", kModel);
    writeFile("objects/arm.DR", "_MODEL_FILE_ { models\\arm.x }");
    objects.keepSources(true);
    std::string entries;
    for (const char* key : {"_ANIMATION_ { Slide }", "_ANIMATION_ { 1 }", "_ANIMATION_ { B }", ""})
        entries += std::string("a { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\arm.DR } ") + key + " }";
    level("_LIGHTS_ { sun } _OBJECTS_ { " + entries + " }");
    std::vector<LoggedLine> errors = lines();
    std::erase_if(errors, [](const LoggedLine& line) { return line.type != "_ERROR_"; });
    EXPECT_EQ(errors, (std::vector<LoggedLine>{
                          {"models\\arm.x:6:29: animation names no frame \"L\" (animation set \"B\" left out)", "_ERROR_"},
                          {"[A.F] no such animation (B) in the model, left still: objects\\arm.DR", "_ERROR_"}}));
    EXPECT_EQ(objects.animated(), (std::vector<std::uint32_t>{1, 2}));
    EXPECT_EQ(object(4).playing(), Static_CObject::kStill);

    const struct {
        double seconds;
        bool paused;
        float x;  // of the moved frame
    } steps[] = {{0, false, 0}, {0.25, false, 0.5f}, {0.25, true, 0.5f}, {0.25, false, 1}, {0.75, false, 0.5f}};
    for (const auto& step : steps) {
        objects.pauseAnimations(step.paused);
        objects.advanceAnimations(step.seconds);
        SCOPED_TRACE(step.seconds);
        for (std::uint32_t id : {1u, 2u}) EXPECT_EQ(xRange(id), (std::pair<float, float>{step.x, step.x + 1}));
        EXPECT_EQ(xRange(4), (std::pair<float, float>{0, 1}));
        const std::vector<float> drawn = drawnX();
        ASSERT_EQ(drawn.size(), 4u);
        for (int i = 0; i < 2; ++i) EXPECT_NEAR(drawn[i] - drawn[3], step.x, 1e-5f) << i;
    }

    writeFile("objects/arm.DR", "_MODEL_FILE_ { models\\arm.x } ");
    objects.reloadFile(krovane::scene::fileKey("objects\\arm.DR"));
    EXPECT_EQ(object(1).playedTime(), 0.0);
    EXPECT_EQ(object(1).playing(), 0u);
    writeFile("models/arm.x", std::string(kModel).substr(0, std::string(kModel).find("AnimationSet")));
    objects.reloadFile(krovane::scene::fileKey("models\\arm.x"));
    EXPECT_EQ(object(1).playing(), Static_CObject::kStill);
    EXPECT_TRUE(objects.animated().empty());
}

}  // namespace
