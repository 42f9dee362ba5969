// Reloading what changed on disk, on the recording device: each kind of change makes again exactly the objects or
// effects made from the file, a failed reload keeps the old and reports the file, the next change tries again.
#include <algorithm>
#include <filesystem>

#include "../scene_fixture.h"
#include "scene/object_template.h"
#include "scene/static_c_object.h"

namespace {

using namespace krovane::gfx;
using namespace krovane::test;
using EffectEntry = Krovane_Effect_Manager::EffectEntry;

// A side x side BMP of one colour: its size tells which copy of a file a texture was made from.
void writePicture(const std::string& path, std::uint32_t side) {
    const std::uint32_t row = (side * 3 + 3) / 4 * 4, size = 54 + row * side;
    std::string bmp(size, '\0');
    const auto put = [&](std::size_t at, std::uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) bmp[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    };
    bmp[0] = 'B', bmp[1] = 'M';
    put(2, size, 4), put(10, 54, 4), put(14, 40, 4), put(18, side, 4), put(22, side, 4), put(26, 1, 2), put(28, 24, 2);
    writeFile(path, bmp);
}

constexpr const char* kEffect = R"(uniform vec4 View_Pos;
vertex VS { void main() { gl_Position = View_Pos; } }
fragment PS { out vec4 c; void main() { c = vec4(1.0); } }
technique vek_Phong { pass P0 { VertexShader = VS; PixelShader = PS; } })";

struct Reload : SceneFixture<> {
    // Objects 1 and 2 share objects/a.DR (the square, its texture "red.bmp" found under textures\), object 3 is
    // objects/c.DR (another model, texture blue.bmp); effect "lit" is fx/lit.fx, effect "later" fails at start.
    void SetUp() override {
        objects.keepSources(true);
        writeFile("models/square.x", squareModel({"red.bmp"}));
        writeFile("models/other.x", squareModel({"blue.bmp"}));
        writePicture("textures/red.bmp", 2);
        writePicture("blue.bmp", 2);
        writeFile("objects/a.DR", "_MODEL_FILE_ { models\\square.x } _FX_ { lit }");
        writeFile("objects/c.DR", "_MODEL_FILE_ { models\\other.x } _FX_ { lit later }");
        writeFile("fx/lit.fx", kEffect);
        level(R"(_OBJECTS_ {
            a1 { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\a.DR } _POSITION_ { 1 0 0 } }
            a2 { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\a.DR } _POSITION_ { 2 0 0 } }
            c  { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\c.DR } _POSITION_ { 3 0 0 } } }
            _EFFECTS_ { lit { _FILE_FX_ { fx\lit.fx } _FILE_ { none } } later { _FILE_FX_ { fx\later.fx } } })");
        mark();
    }
    const Static_CObject& object(std::uint32_t id) {
        return static_cast<const Static_CObject&>(*objects.entry(id)->object);
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

TEST_F(Reload, EachChangeMakesAgainExactlyWhatWasMadeFromIt) {
    const struct {
        const char* what;
        std::function<void()> change;
        const char* key;
        ReloadOutcome outcome;
        const char* remade;  // the ids made again
        std::vector<LoggedLine> lines;
    } cases[] = {
        {"a texture",
         [] { writePicture("textures/red.bmp", 4); },
         "textures/red.bmp",
         ReloadOutcome::Reloaded,
         "12",
         {{"[i] Reloaded: textures\\red.bmp", "_COMMENT_"}}},
        {"a texture looked for in vain, now there",
         [] { writePicture("red.bmp", 8); },
         "red.bmp",
         ReloadOutcome::Reloaded,
         "12",
         {{"[i] Reloaded: red.bmp", "_COMMENT_"}}},
        {"a model",
         [] {
             writeFile("models/other.x", squareModel({"blue.bmp", ""}));
         },
         "models/other.x",
         ReloadOutcome::Reloaded,
         "3",
         {{"[i] Reloaded: models\\other.x", "_COMMENT_"}}},
        {"a picture that does not decode",
         [] { writeFile("blue.bmp", "BM"); },
         "blue.bmp",
         ReloadOutcome::Failed,
         "",
         {{"[T.F] cannot find: blue.bmp", "_ERROR_"},  // nowhere else, and no stand-in in this level
          {"[R.F] not reloaded, kept as it was: blue.bmp", "_ERROR_"}}},
        {"an object file",
         [] { writeFile("objects/c.DR", "_MODEL_FILE_ { models\\square.x }"); },
         "objects/c.DR",
         ReloadOutcome::Reloaded,
         "3",
         {{"[i] Reloaded: objects\\c.DR", "_COMMENT_"}}},
        {"a file nothing was made from",
         [] { writePicture("textures/green.bmp", 2); },
         "textures/green.bmp",
         ReloadOutcome::NotUsed,
         "",
         {}},
        {"a half-written model",
         [] { writeFile("models/square.x", squareModel({"red.bmp"}).substr(0, 120)); },
         "models/square.x",
         ReloadOutcome::Failed,
         "",
         {{"[M.F] cannot find: models\\square.x", "_ERROR_"},  // once, by the first object tried
          {"[R.F] not reloaded, kept as it was: models\\square.x", "_ERROR_"}}},
        {"a texture while the model is half written: the objects would lose their model",
         [] { writePicture("red.bmp", 16); }, "red.bmp", ReloadOutcome::Failed, "",
         {{"[M.F] cannot find: models\\square.x", "_ERROR_"},
          {"[R.F] not reloaded, kept as it was: red.bmp", "_ERROR_"}}},
        {"the model mended",
         [] { writeFile("models/square.x", squareModel({"red.bmp"})); },
         "models/square.x",
         ReloadOutcome::Reloaded,
         "123",
         {{"[i] Reloaded: models\\square.x", "_COMMENT_"}}},
        {"an object file that does not parse",
         [] { writeFile("objects/a.DR", "_FX_ { lit"); },
         "objects/a.DR",
         ReloadOutcome::Failed,
         "",
         {{"[!] Object File is corrupted and parameters are not loaded!", "_ERROR_"},
          {"objects\\a.DR:1:6: '{' is never closed", "_ERROR_"},
          {"[R.F] not reloaded, kept as it was: objects\\a.DR", "_ERROR_"}}},
    };
    for (const auto& c : cases) {
        const std::size_t before = lines().size();
        c.change();
        EXPECT_EQ(objects.ReloadFile(fileKey(c.key)), c.outcome) << c.what;
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
    writePicture("textures/green.bmp", 2);
    writeFile("objects/c.DR", "_MODEL_FILE_ { models\\third.x }");
    ASSERT_EQ(objects.ReloadFile(fileKey("objects/c.DR")), ReloadOutcome::Reloaded);
    std::vector<FileSource> sources;
    objects.sourceFiles(sources);
    const auto has = [&](const char* key) {
        return std::any_of(sources.begin(), sources.end(), [&](const FileSource& s) { return s.key == key; });
    };
    EXPECT_TRUE(has("models/third.x") && has("textures/green.bmp") && has("objects/a.DR"));
    EXPECT_FALSE(has("models/other.x") || has("blue.bmp"));
    writePicture("textures/green.bmp", 4);
    EXPECT_EQ(objects.ReloadFile(fileKey("textures/green.bmp")), ReloadOutcome::Reloaded);
    EXPECT_EQ(textureSide(3), 4u);
}

TEST_F(Reload, WithoutKeepingSourcesOnlyParameterFilesAreKnown) {
    Managers<> plain(device.get());
    plain.setup("level.DR");
    std::vector<FileSource> sources;
    plain.objects.sourceFiles(sources);
    EXPECT_EQ(sources.size(), 2u);  // objects\a.DR and objects\c.DR
    writePicture("textures/red.bmp", 4);
    EXPECT_EQ(plain.objects.ReloadFile(fileKey("textures/red.bmp")), ReloadOutcome::NotUsed);
}

TEST_F(Reload, AnEffectFileBuildsAgainAllOrNoneAndAFailedEffectComesBack) {
    const EffectEntry* lit = effects.findEntry("lit");
    ASSERT_NE(lit, nullptr);
    const Ref<Effect> first = lit->effect;  // held: a new build is a new effect
    const std::uint32_t changes = effects.listChanges();
    std::size_t before = lines().size();

    writeFile("fx/lit.fx", "technique {");  // broken: the old build stays
    EXPECT_EQ(effects.ReloadFile(fileKey("fx/lit.fx")), ReloadOutcome::Failed);
    EXPECT_EQ(lit->effect, first);
    writeFile("fx/lit.fx", kEffect);  // mended
    EXPECT_EQ(effects.ReloadFile(fileKey("fx/lit.fx")), ReloadOutcome::Reloaded);
    EXPECT_NE(lit->effect, first);
    EXPECT_EQ(effects.findEntry("lit"), lit);  // the entry objects hold stays
    EXPECT_EQ(effects.listChanges(), changes);
    EXPECT_EQ(lines(before), (std::vector<LoggedLine>{{"fx\\lit.fx", "_ERROR_"},
                                                      {"[R.F] not reloaded, kept as it was: fx\\lit.fx", "_ERROR_"},
                                                      {"[i] Reloaded: fx\\lit.fx", "_COMMENT_"}}));

    // "later" failed at start: once its file builds it takes its number, and objects find it.
    EXPECT_EQ(effects.findEntry("later"), nullptr);
    before = lines().size();
    writeFile("fx/later.fx", kEffect);
    EXPECT_EQ(effects.ReloadFile(fileKey("fx/later.fx")), ReloadOutcome::Reloaded);
    ASSERT_NE(effects.findEntry("later"), nullptr);
    EXPECT_EQ(effects.entries().find(2), effects.findEntry("later"));
    EXPECT_NE(effects.listChanges(), changes);
    EXPECT_EQ(lines(before), (std::vector<LoggedLine>{{"[i] Reloaded: fx\\later.fx", "_COMMENT_"}}));
    EXPECT_EQ(effects.ReloadFile(fileKey("fx/other.fx")), ReloadOutcome::NotUsed);
    std::vector<FileSource> sources;
    effects.sourceFiles(sources);
    EXPECT_EQ(sources, (std::vector<FileSource>{{"fx/lit.fx", "fx\\lit.fx"}, {"fx/later.fx", "fx\\later.fx"}}));
}

}  // namespace
