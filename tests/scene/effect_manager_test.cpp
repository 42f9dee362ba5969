// The effect manager: a level's effects with the counting rule and their
// lines, parameter files, and lookup by name handing out the camera's matrices.
#include "../scene_fixture.h"

namespace {

using namespace krovane::gfx;
using namespace krovane::test;
using EffectManager = SceneFixture<>;

TEST_F(EffectManager, AFailedEffectIsCountedButNotListed) {
    writeFile("fx/a.fx", kEyeEffect);
    writeFile("fx/b.fx", kEyeEffect);
    writeFile("level.DR",
              "first { _FILE_FX_ { fx\\a.fx } _FILE_ { none } }"  // defined before the list
              "_EFFECTS_ { first second { _FILE_FX_ { fx\\missing.fx } _FILE_ { none } }"
              "  third { _FILE_FX_ { fx\\b.fx } _FILE_ { data\\third.DR } } }");
    writeFile("data/third.DR", "_STRENGTH_ { 3 }");
    effects.LoadEffects(krovane::scene::readLevel("level.DR"));
    EXPECT_EQ(lines(), (std::vector<LoggedLine>{{"[+] Effect:  first", "_TEXT_"},
                                                {"fx\\missing.fx", "_ERROR_"},
                                                {"fx\\missing.fx: no such file", "_ERROR_"},
                                                {"[+] Effect:  third", "_TEXT_"},
                                                {"Effect Manager setup completed with 3 Effects.", "_COMMENT_"}}));
    std::vector<int> params;  // the nodes of each number's parameter file, -1 for none listed
    for (std::uint32_t n = 1; n <= effects.effectCount(); ++n)
        params.push_back(effects.entries().find(n) ? int(effects.entries().find(n)->params.nodeCount()) : -1);
    EXPECT_EQ(params, (std::vector<int>{0, -1, 2}));  // "none": no file; the failed one keeps its number, unlisted

    const std::size_t before = lines().size();
    effects.LoadEffects(krovane::scene::readLevel("nothing.DR"));  // a missing level adds nothing; the summary counts all there are
    EXPECT_EQ(lines(before),
              (std::vector<LoggedLine>{{"Effect Manager setup completed with 3 Effects.", "_COMMENT_"}}));
}

TEST_F(EffectManager, LookupTakesTheFirstOfANameAndHandsOutTheCamerasMatrices) {
    writeFile("fx/a.fx", kEyeEffect);
    writeFile("level.DR",
              "_CAMERAS_ { cam { _POSITION_ { 3 4 5 } _LOOK_ { 0 0 0 } } }"
              "twin { _FILE_FX_ { fx\\a.fx } } _EFFECTS_ { twin twin }");
    effects.LoadEffects(krovane::scene::readLevel("level.DR"));
    ASSERT_EQ(effects.effectCount(), 2u);
    Matrix view{}, projection{};
    EXPECT_EQ(effects.FindEffect("twin", &view, &projection), effects.entries().find(1)->effect.get());
    EXPECT_EQ(view.m[0][0], 1.0f);  // without a camera: identity matrices
    EXPECT_EQ(projection.m[3][3], 1.0f);
    cameras.LoadCameras(krovane::scene::readLevel("level.DR"));
    view = projection = Matrix{};
    EXPECT_EQ(effects.FindEffect("Twin", &view, &projection), nullptr);  // names are exact
    EXPECT_EQ(view.m[3][2], cameras.CurrentCamera()->view.m[3][2]);      // the matrices are copied all the same
    EXPECT_EQ(projection.m[2][3], 1.0f);
}

}  // namespace
