// Reloading what changed on disk, on the recording device: each kind of change makes again exactly the objects or
// effects made from the file, a failed reload keeps the old and reports the file, the next change tries again.
#include <algorithm>

#include "../scene_fixture.h"
#include "scene/object_template.h"

using namespace krovane::scene;

namespace {

using namespace krovane::gfx;
using namespace krovane::test;
using EffectEntry = Krovane_Effect_Manager::EffectEntry;

struct Reload : SceneFixture<> {
    // Objects 1 and 2 share objects/a.DR (the square, its texture "red.bmp" found under textures\), object 3 is
    // objects/c.DR (another model, texture blue.bmp); effect "lit" is fx/lit.fx, effect "later" fails at start.
    // The side of a picture tells which copy of it a texture was made from.
    void SetUp() override {
        objects.keepSources(true);
        writeFile("models/square.x", squareModel({"red.bmp"}));
        writeFile("models/other.x", squareModel({"blue.bmp"}));
        writeFile("textures/red.bmp", bmp(0));
        writeFile("blue.bmp", bmp(0));
        writeFile("objects/a.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { lit }");
        writeFile("objects/c.DR", "_MODEL_FILE_ { models\\other.x } _FX_ { lit later }");
        writeFile("fx/lit.fx", kEyeEffect);
        level(R"(_OBJECTS_ {
            a1 { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\a.DR } _POSITION_ { 1 0 0 } }
            a2 { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\a.DR } _POSITION_ { 2 0 0 } }
            c  { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\c.DR } _POSITION_ { 3 0 0 } } }
            _EFFECTS_ { lit { _FILE_FX_ { fx\lit.fx } _FILE_ { none } } later { _FILE_FX_ { fx\later.fx } } })");
        mark();
    }
    // Marks every object as it is now; an object made again has no mark.
    void mark() {
        for (std::uint32_t id = 1; id <= 3; ++id)
            static_cast<Static_CObject&>(*objects.entry(id)->object).world.m[0][3] = 42.0f;
    }
    std::string remade() {
        std::string ids;
        for (std::uint32_t id = 1; id <= 3; ++id)
            if (object(id).world.m[0][3] != 42.0f) ids += std::to_string(id);
        return ids;
    }
    std::uint32_t textureSide(std::uint32_t id) { return object(id).texture(0) ? object(id).texture(0)->width() : 0; }
};

LoggedLine reloaded(const std::string& file) { return {"[i] Reloaded: " + file, "_COMMENT_"}; }
LoggedLine kept(const std::string& file) { return {"[R.F] not reloaded, kept as it was: " + file, "_ERROR_"}; }

TEST_F(Reload, EachChangeMakesAgainExactlyWhatWasMadeFromIt) {
    using enum ReloadOutcome;
    const LoggedLine noBlue{"[T.F] cannot find: blue.bmp", "_ERROR_"};           // nowhere else, and no stand-in here
    const LoggedLine noModel{"[M.F] cannot find: models\\square.x", "_ERROR_"};  // once, by the first object tried
    const LoggedLine cutShort{"models\\square.x:10:7: truncated data: expected a number", "_ERROR_"};
    const std::vector<LoggedLine> notParsed = {
        {"[!] Object File is corrupted and parameters are not loaded!", "_ERROR_"},
        {"malformed at line 1, column 6: '{' is never closed", "_ERROR_"},
        kept("objects\\a.DR")};
    const std::string halfSquare = squareModel({"red.bmp"}).substr(0, 120);
    const LoggedLine objectFile = reloaded("objects\\c.DR"), squareBack = reloaded("models\\square.x");
    // A texture while the model is half written fails: the objects would lose their model.
    const struct {
        const char* what;
        const char* file;  // written with `content`, then reloaded
        std::string content;
        ReloadOutcome outcome;
        const char* remade;  // the ids made again
        std::vector<LoggedLine> lines;
    } cases[] = {
        {"a texture", "textures/red.bmp", bmp(0, 4), Reloaded, "12", {reloaded("textures\\red.bmp")}},
        {"a texture looked for in vain, now there", "red.bmp", bmp(0, 8), Reloaded, "12", {reloaded("red.bmp")}},
        {"a model", "models/other.x", squareModel({"blue.bmp", ""}), Reloaded, "3", {reloaded("models\\other.x")}},
        {"a picture that does not decode", "blue.bmp", "BM", Failed, "", {noBlue, kept("blue.bmp")}},
        {"an object file", "objects/c.DR", "_MODEL_FILE_ { models\\square.x }", Reloaded, "3", {objectFile}},
        {"a file nothing was made from", "textures/green.bmp", bmp(0), NotUsed, "", {}},
        {"a half-written model",
         "models/square.x",
         halfSquare,
         Failed,
         "",
         {noModel, cutShort, kept("models\\square.x")}},
        {"a texture, the model half written", "red.bmp", bmp(0, 16), Failed, "", {noModel, cutShort, kept("red.bmp")}},
        {"the model mended", "models/square.x", squareModel({"red.bmp"}), Reloaded, "123", {squareBack}},
        {"an object file not parsed", "objects/a.DR", "_FX_ { lit", Failed, "", notParsed},
    };
    for (const auto& c : cases) {
        const std::size_t before = lines().size();
        writeFile(c.file, c.content);
        EXPECT_EQ(objects.reloadFile(fileKey(c.file)), c.outcome) << c.what;
        EXPECT_EQ(remade(), c.remade) << c.what;
        EXPECT_EQ(lines(before), c.lines) << c.what;
        mark();
    }
    // What each change brought: the newest red.bmp (found first now), the edited object file, the model twice
    // over, and the old copies where a reload failed; ids, places and the shared template stay.
    EXPECT_EQ(textureSide(1), 16u);
    EXPECT_EQ(object(1).shared(), object(2).shared());
    EXPECT_EQ(object(3).effectCount(), 0u);
    EXPECT_EQ(object(3).mesh(), object(1).mesh());
    EXPECT_EQ(object(2).world.m[3][0], 2.0f);
    EXPECT_EQ(objects.objectCount(), 3u);
}

TEST_F(Reload, AnObjectFileNowNamingAnotherTextureIsWatchedForIt) {
    writeFile("models/third.x", squareModel({"green.bmp"}));
    writeFile("textures/green.bmp", bmp(0));
    writeFile("objects/c.DR", "_MODEL_FILE_ { models\\third.x }");
    ASSERT_EQ(objects.reloadFile(fileKey("objects/c.DR")), ReloadOutcome::Reloaded);
    std::vector<FileSource> sources;
    objects.sourceFiles(sources);
    const auto has = [&](const char* key) {
        return std::any_of(sources.begin(), sources.end(), [&](const FileSource& s) { return s.key == key; });
    };
    EXPECT_TRUE(has("models/third.x") && has("textures/green.bmp") && has("objects/a.DR"));
    EXPECT_FALSE(has("models/other.x") || has("blue.bmp"));
    writeFile("textures/green.bmp", bmp(0, 4));
    EXPECT_EQ(objects.reloadFile(fileKey("textures/green.bmp")), ReloadOutcome::Reloaded);
    EXPECT_EQ(textureSide(3), 4u);
}

TEST_F(Reload, WithoutKeepingSourcesOnlyParameterFilesAreKnown) {
    Managers<> plain(device.get());
    plain.setup("level.DR");
    std::vector<FileSource> sources;
    plain.objects.sourceFiles(sources);
    EXPECT_EQ(sources.size(), 2u);  // objects\a.DR and objects\c.DR
    writeFile("textures/red.bmp", bmp(0, 4));
    EXPECT_EQ(plain.objects.reloadFile(fileKey("textures/red.bmp")), ReloadOutcome::NotUsed);
}

TEST_F(Reload, AnEffectFileBuildsAgainAllOrNoneAndAFailedEffectComesBack) {
    const EffectEntry* lit = effects.findEntry("lit");
    ASSERT_NE(lit, nullptr);
    const Ref<Effect> first = lit->effect;  // held: a new build is a new effect
    const std::uint32_t changes = effects.listChanges();
    std::size_t before = lines().size();

    writeFile("fx/lit.fx", "technique {");  // broken: the old build stays
    EXPECT_EQ(effects.reloadFile(fileKey("fx/lit.fx")), ReloadOutcome::Failed);
    EXPECT_EQ(lit->effect, first);
    writeFile("fx/lit.fx", kEyeEffect);  // mended
    EXPECT_EQ(effects.reloadFile(fileKey("fx/lit.fx")), ReloadOutcome::Reloaded);
    EXPECT_NE(lit->effect, first);
    EXPECT_EQ(effects.findEntry("lit"), lit);  // the entry objects hold stays
    EXPECT_EQ(effects.listChanges(), changes);
    EXPECT_EQ(lines(before),
              (std::vector<LoggedLine>{{"fx\\lit.fx", "_ERROR_"},
                                       {"fx\\lit.fx(1): the shared GLSL has unbalanced braces", "_ERROR_"},
                                       kept("fx\\lit.fx"),
                                       reloaded("fx\\lit.fx")}));

    // "later" failed at start: once its file builds it takes its number, and objects find it.
    EXPECT_EQ(effects.findEntry("later"), nullptr);
    before = lines().size();
    writeFile("fx/later.fx", kEyeEffect);
    EXPECT_EQ(effects.reloadFile(fileKey("fx/later.fx")), ReloadOutcome::Reloaded);
    ASSERT_NE(effects.findEntry("later"), nullptr);
    EXPECT_EQ(effects.entries().find(2), effects.findEntry("later"));
    EXPECT_NE(effects.listChanges(), changes);
    EXPECT_EQ(lines(before), std::vector{reloaded("fx\\later.fx")});
    EXPECT_EQ(effects.reloadFile(fileKey("fx/other.fx")), ReloadOutcome::NotUsed);
    std::vector<FileSource> sources;
    effects.sourceFiles(sources);
    EXPECT_EQ(sources, (std::vector<FileSource>{{"fx/lit.fx", "fx\\lit.fx"}, {"fx/later.fx", "fx\\later.fx"}}));
}

}  // namespace
