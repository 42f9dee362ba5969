// The effect manager: loading a level's effects with the counting rule and
// its lines, parameter files, and finding effects by name with the camera's
// matrices and position handed out.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "../level_files.h"
#include "../logged_lines.h"
#include "../temp_dir.h"
#include "console/console_log.h"
#include "gfx/geometry.h"
#include "gfx/recording_device.h"
#include "platform/clock.h"
#include "scene/krovane_camera_manager.h"
#include "scene/krovane_effect_manager.h"

namespace {

using namespace krovane::gfx;
using krovane::test::LoggedLine;
using krovane::test::loggedMessages;
using krovane::test::writeFile;

constexpr const char* kEffect = R"(uniform vec4 View_Pos;
vertex VS { void main() { gl_Position = View_Pos; } }
fragment PS { out vec4 c; void main() { c = vec4(1.0); } }
technique vek_Phong { pass P0 { VertexShader = VS; PixelShader = PS; } }
)";

class EffectManager : public ::testing::Test {
protected:
    EffectManager() {
        krovane::platform::Clock::setManualTicks(0);
        writeFile("fx/a.fx", kEffect);
        writeFile("fx/b.fx", kEffect);
    }
    ~EffectManager() override {
        effects.reset();
        krovane::platform::Clock::useRealTime();
    }
    krovane::test::TempDir dir;
    Ref<RecordingDevice> device = RecordingDevice::create();
    ConsoleLog console;
    Krovane_Camera_Manager cameras{&console};
    std::unique_ptr<Krovane_Effect_Manager> effects =
        std::make_unique<Krovane_Effect_Manager>(device.get(), console, cameras);
};

TEST_F(EffectManager, AFailedEffectIsCountedButNotListed) {
    writeFile("level.DR",
              "first { _FILE_FX_ { fx\\a.fx } _FILE_ { none } }"  // defined before the list
              "_EFFECTS_ { first"
              "  second { _FILE_FX_ { fx\\missing.fx } _FILE_ { none } }"
              "  third { _FILE_FX_ { fx\\b.fx } _FILE_ { data\\third.DR } } }");
    writeFile("data/third.DR", "_STRENGTH_ { 3 }");
    testing::internal::CaptureStderr();
    EXPECT_TRUE(effects->SetupFromFile("level.DR"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "effect: fx\\missing.fx: cannot open the effect file\n");
    EXPECT_EQ(loggedMessages(console), (std::vector<LoggedLine>{
                                           {"[+] Effect:  first", "_TEXT_"},
                                           {"fx\\missing.fx", "_ERROR_"},
                                           {"[+] Effect:  third", "_TEXT_"},
                                           {"Effect Manager setup completed with 3 Effects.", "_COMMENT_"},
                                       }));
    const auto* first = effects->entries().find(1);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->params.nodeCount(), 0u);  // "none": no parameter file
    EXPECT_EQ(effects->entries().find(2), nullptr);  // the failed effect keeps its number, unlisted
    ASSERT_NE(effects->entries().find(3), nullptr);
    EXPECT_EQ(effects->entries().find(3)->params.nodeCount(), 2u);
    EXPECT_EQ(effects->effectCount(), 3u);
}

TEST_F(EffectManager, AMissingLevelAddsNothing) {
    EXPECT_TRUE(effects->SetupFromFile("nothing.DR"));
    EXPECT_EQ(loggedMessages(console),
              (std::vector<LoggedLine>{{"Effect Manager setup completed with 0 Effects.", "_COMMENT_"}}));
}

TEST_F(EffectManager, FindingTakesTheFirstOfANameAndHandsOutTheCamera) {
    writeFile("level.DR",
              "_CAMERAS_ { cam { _POSITION_ { 3 4 5 } _LOOK_ { 0 0 0 } } }"
              "twin { _FILE_FX_ { fx\\a.fx } }"
              "_EFFECTS_ { twin twin }");
    cameras.SetupFromFile("level.DR");
    cameras.CurrentCamera()->ApplyTransforms(device.get());
    effects->SetupFromFile("level.DR");
    ASSERT_EQ(effects->effectCount(), 2u);

    Matrix view{}, projection{};
    device->clearCalls();
    Effect* found = effects->FindEffect("twin", &view, &projection);
    EXPECT_EQ(found, effects->entries().find(1)->effect.get());
    EXPECT_EQ(view.m[3][2], cameras.CurrentCamera()->view.m[3][2]);
    EXPECT_EQ(projection.m[2][3], 1.0f);
    ASSERT_EQ(device->calls().size(), 1u);
    EXPECT_EQ(device->calls()[0].name, "View_Pos");
    EXPECT_EQ(device->calls()[0].values[0], 3.0f);
    EXPECT_EQ(device->calls()[0].values[1], 4.0f);
    EXPECT_EQ(device->calls()[0].values[2], 5.0f);
    EXPECT_EQ(device->calls()[0].values[3], 1.0f);

    view = projection = Matrix{};
    EXPECT_EQ(effects->FindEffect("Twin", &view, &projection), nullptr);  // names are exact
    EXPECT_EQ(projection.m[2][3], 1.0f);                                  // the matrices are copied all the same
}

TEST_F(EffectManager, WithoutACameraLookupsGoOnWithIdentityMatrices) {
    writeFile("level.DR", "_EFFECTS_ { one { _FILE_FX_ { fx\\a.fx } } }");
    effects->SetupFromFile("level.DR");
    Matrix view{}, projection{};
    EXPECT_NE(effects->FindEffect("one", &view, &projection), nullptr);
    EXPECT_EQ(view.m[0][0], 1.0f);
    EXPECT_EQ(projection.m[3][3], 1.0f);
}

}  // namespace
