// Watching a level on the recording device, with the watcher's events given by the test: the files and folders
// watched, when a change is taken (settled, and only when the file differs from the one read), the whole level again
// with the camera kept, the main loop asking before each frame, and a model file opened.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../level_files.h"
#include "../logged_lines.h"
#include "../temp_dir.h"
#include "app/krovane.h"
#include "app/level_opener.h"
#include "app/level_watch.h"
#include "app/main_loop.h"
#include "app/model_level.h"
#include "gfx/recording_device.h"
#include "platform/clock.h"

using namespace krovane::app;

namespace {

namespace fs = std::filesystem;
using krovane::platform::Clock;
using krovane::test::LoggedLine;
using krovane::test::writeFile;
using Lines = std::vector<LoggedLine>;

// Reports what the test queues.
struct FakeWatcher : krovane::platform::FileWatcher {
    std::vector<fs::path> folders;
    Changes queued;
    bool watchFolders(const std::vector<fs::path>& given) override {
        folders = given;
        return true;
    }
    void poll(Changes& into) override {
        into.files.insert(into.files.end(), queued.files.begin(), queued.files.end());
        into.lost = into.lost || queued.lost;
        queued = {};
    }
};

const LoggedLine kCrateReloaded{"[i] Reloaded: textures\\crate.bmp", "_COMMENT_"};

struct Watch : ::testing::Test {
    krovane::test::TempDir dir;
    fs::path here = fs::canonical(dir.path());
    Krovane engine;
    FakeWatcher* watcher = nullptr;
    std::unique_ptr<LevelWatch> watch;

    Watch() {
        Clock::setManualTicks(1000);
        krovane::test::writeRendererFiles();
        krovane::test::writeBmp("textures/crate.bmp", 0x884422);
        writeFile("models/box.x", krovane::test::squareModel({"crate.bmp"}));
        writeFile("objects/box.DR", "_MODEL_FILE_ { models\\box.x } _FX_ { vek_Phong }");
        writeFile("POLYGON01", level(2));
    }
    ~Watch() override { Clock::useRealTime(); }
    // A level of `cameras` cameras and one box.
    static std::string level(int cameras) {
        std::string text = "_LIGHTS_ { sun { _POSITION_ { 0 50 -50 } } }\n_CAMERAS_ {";
        for (int c = 1; c <= cameras; ++c) text += " c" + std::to_string(c) + " { _POSITION_ { 0 2 -10 } }";
        return text + " }\n_OBJECTS_ { b { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\\box.DR } } }\n" +
               "_EFFECTS_ { vek_Phong { _FILE_FX_ { fx\\vek_Phong.fx } _FILE_ { none } } }\n";
    }
    void start(ModelLevel* model = nullptr, const fs::path& modelFile = {}) {
        Krovane::Settings settings;
        settings.root = model != nullptr ? model->folder() : fs::path();
        settings.keepSources = true;
        engine.Initialize(krovane::gfx::RecordingDevice::create(), settings);
        auto fake = std::make_unique<FakeWatcher>();
        watcher = fake.get();
        watch = std::make_unique<LevelWatch>(engine, std::move(fake), model, modelFile);
    }
    Lines lines(std::size_t from = 0) { return krovane::test::loggedMessages(*engine.console(), from); }
    // The same with the lines the console broke (past its width) joined again.
    Lines joined(std::size_t from) {
        Lines said;
        for (const LoggedLine& line : lines(from))
            if (!said.empty() && line.text.starts_with("   ")) said.back().text += line.text.substr(3);
            else said.push_back(line);
        return said;
    }
    std::size_t count() { return lines().size(); }
    // Gives `path` a time of its own: file times move in steps of a few milliseconds, so that two writes of one
    // size in one step would look the same, as they do to every program that compares stamps.
    static void newTime(const fs::path& path) {
        static int step = 0;
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::hours(++step));
    }
    void event(const fs::path& file) { watcher->queued.files.push_back(file.is_absolute() ? file : here / file); }
    // The crate's texture written in another colour, and its event.
    void repaint(std::uint32_t rgb) {
        krovane::test::writeBmp("textures/crate.bmp", rgb);
        newTime("textures/crate.bmp");
        event("textures/crate.bmp");
    }
    // The frame that reads the events, and one once they have settled.
    void settled() {
        watch->poll();
        Clock::advanceTicks(LevelWatch::kSettleMilliseconds);
        watch->poll();
    }
};

TEST_F(Watch, TheFilesTheLevelWasMadeFromAndTheirFoldersAreWatched) {
    start();
    const auto at = [&](const char* file) { return (here / file).string(); };
    // "crate.bmp" is looked for first, and not there: it may come.
    EXPECT_EQ(watch->watched(),
              (std::unordered_map<std::string, unsigned>{{at("POLYGON01"), LevelWatch::kLevel},
                                                         {at("fx/vek_Phong.fx"), LevelWatch::kEffect},
                                                         {at("objects/box.DR"), LevelWatch::kObject},
                                                         {at("models/box.x"), LevelWatch::kObject},
                                                         {at("textures/crate.bmp"), LevelWatch::kObject},
                                                         {at("crate.bmp"), LevelWatch::kObject}}));
    std::vector<fs::path> folders = watcher->folders;
    std::sort(folders.begin(), folders.end());
    EXPECT_EQ(folders,
              (std::vector<fs::path>{here, here / "fx", here / "models", here / "objects", here / "textures"}));
}

TEST_F(Watch, AChangeIsTakenOnceSettledAndOnlyWhenTheFileDiffers) {
    start();
    const struct {
        const char* what;
        std::function<void()> act;
        Lines lines;
    } cases[] = {
        {"an event for a file that did not change", [&] { event("textures/crate.bmp"); }, {}},
        {"a file not of the level", [&] { writeFile("textures/.crate.swp", ""), event("textures/.crate.swp"); }, {}},
        {"a save in two steps (cp -p: written, then its times set), within the settling time",
         [&] {
             repaint(0x0000FF);
             watch->poll();
             Clock::advanceTicks(LevelWatch::kSettleMilliseconds - 1);
             newTime("textures/crate.bmp");
             event("textures/crate.bmp");
         },
         {kCrateReloaded}},
        {"a file deleted waits to be there again",
         [&] { fs::remove("textures/crate.bmp"), event("textures/crate.bmp"); }, {}},
        {"and is taken when it is", [&] { repaint(0xFF0000); }, {kCrateReloaded}},
        {"events lost: only what changed is reloaded",
         [&] { std::ofstream("objects/box.DR", std::ios::app) << "\n", watcher->queued.lost = true; },
         {{"[i] Reloaded: objects\\box.DR", "_COMMENT_"}}},
    };
    for (const auto& c : cases) {
        const std::size_t before = count();
        c.act();
        settled();
        EXPECT_EQ(lines(before), c.lines) << c.what;
    }
}

// The main loop asks before each frame when files are watched. An event is dated by the frame before the one that
// reads it: taken once settled, and at once after a slow frame.
TEST_F(Watch, TheMainLoopAsksBeforeEachFrameAndAnEventSettlesFromTheFrameBefore) {
    start();
    MainLoop plain(engine), watching(engine);
    watching.watchFiles(watch.get());
    std::size_t before = count();
    repaint(0x00FF00);
    watching.idlePass();
    Clock::advanceTicks(LevelWatch::kSettleMilliseconds - 1);
    watching.idlePass();
    EXPECT_EQ(count(), before);
    Clock::advanceTicks(1);
    plain.idlePass();
    EXPECT_EQ(count(), before);
    watching.idlePass();
    EXPECT_EQ(lines(before), Lines{kCrateReloaded});
    Clock::advanceTicks(LevelWatch::kSettleMilliseconds * 5);
    before = count();
    repaint(0xFF0000);
    watching.idlePass();
    EXPECT_EQ(lines(before), Lines{kCrateReloaded});
}

TEST_F(Watch, TheLevelFileLoadsTheWholeLevelAgainKeepingTheCamera) {
    start();
    const Lines started = lines();
    engine.cameraManager()->SelectCamera(2);
    const Krovane_Object_Manager* before = engine.objectManager();
    std::size_t from = count();
    writeFile("POLYGON01", level(2) + "# edited\n");
    event("POLYGON01");
    settled();
    // Every stage of the start but the renderer's, then the reload said.
    Lines stages(started.begin() + 2, started.end());
    stages.push_back({"[i] Reloaded: POLYGON01", "_COMMENT_"});
    EXPECT_EQ(lines(from), stages);
    EXPECT_EQ(engine.cameraManager()->CurrentNumber(), 2);
    EXPECT_NE(engine.objectManager(), before);
    engine.renderManager()->RenderFrame(0);  // draws the new managers (the old ones are gone)
    engine.commandQueue()->Dispatch("obj_mngr show.list");
    EXPECT_EQ(lines().back().text, "id:1  visible:1  file:objects\\box.DR");

    // The objects of the new level are watched in their turn; a level with one camera has camera 1 current.
    repaint(0x00FF00);
    settled();
    EXPECT_EQ(lines().back(), kCrateReloaded);
    writeFile("POLYGON01", level(1));
    event("POLYGON01");
    settled();
    EXPECT_EQ(engine.cameraManager()->CurrentNumber(), 1);

    // Half written: what is shown stays.
    before = engine.objectManager();
    from = count();
    writeFile("POLYGON01", level(1).substr(0, 40));
    event("POLYGON01");
    settled();
    EXPECT_EQ(lines(from), (Lines{{"POLYGON01:1:16: '{' is never closed", "_ERROR_"},
                                  {"[R.F] not reloaded, kept as it was: POLYGON01", "_ERROR_"}}));
    EXPECT_EQ(engine.objectManager(), before);
}

// A .x model opened: its level (in a private folder here) kept when the model no longer reads.
TEST_F(Watch, AModelFileMakesItsLevelAgain) {
    ::setenv("TMPDIR", here.c_str(), 1);
    ::setenv("KROVANE_NO_CACHE", "1", 1);  // a private folder each time it is made
    const fs::path file = here / "user" / "ship.x";
    writeFile("user/ship.x", krovane::test::squareModel({"hull.bmp"}));
    krovane::test::writeBmp("user/hull.bmp", 0x808080);
    ModelLevel model;
    std::string error;
    testing::internal::CaptureStderr();
    ASSERT_TRUE(model.prepare(file, "test", error)) << error;
    testing::internal::GetCapturedStderr();
    start(&model, file);  // the level's own folder is not the current one
    // The model and the texture beside it (their reloads are the end-to-end test's), nothing of the level made for it.
    EXPECT_EQ(watch->watched().size(), 2u);
    // Made again and framed again when it or its texture changes (the end-to-end test's); half written, the level
    // shown stays.
    const Krovane_Object_Manager* before = engine.objectManager();
    writeFile(file.string(), krovane::test::squareModel({"hull.bmp"}).substr(0, 60));
    newTime(file);
    event(file);
    const std::size_t from = count();
    testing::internal::CaptureStderr();
    settled();
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(joined(from), (Lines{{"[M.F] cannot find: " + file.string(), "_ERROR_"},
                           {file.string() + ":5:9: truncated data: expected a number", "_ERROR_"},
                           {"[R.F] not reloaded, kept as it was: " + file.string(), "_ERROR_"}}));
    EXPECT_EQ(engine.objectManager(), before);
    ::unsetenv("TMPDIR");
}

// A file or folder dropped on the window (its Drop event) opens in place of the level shown; one that is no level or
// model, or whose level does not read, keeps what is shown and says why, and the next drop still opens.
TEST_F(Watch, ADroppedLevelOrModelOpensInPlaceAndAFailureKeepsWhatIsShown) {
    ::setenv("TMPDIR", here.c_str(), 1);
    ::setenv("KROVANE_NO_CACHE", "1", 1);
    fs::create_directories("other");
    for (const char* folder : {"fx", "textures", "models", "objects"})
        fs::copy(folder, fs::path("other") / folder, fs::copy_options::recursive);
    writeFile("other/POLYGON01", level(3));
    fs::create_directories("empty");
    writeFile("notes.txt", "x");
    writeFile("user/ship.x", krovane::test::squareModel({"hull.bmp"}));
    start();
    LevelOpener opener;
    MainLoop loop(engine);
    loop.onDrop([&](const std::string& path) { opener.openInPlace(engine, path); });
    const std::string kept = "[R.F] not reloaded, kept as it was: ";
    const struct {
        std::string dropped, why, last;
        std::uint32_t cameras;  // of the level shown after it
    } rows[] = {
        {"empty", "POLYGON01: no such file", kept, 2},
        {"other", "", "[i] Reloaded: ", 3},
        {"notes.txt", "not a level folder or a model (.x, .gltf, .glb, .obj, .fbx, .dae): ", kept, 3},
        {"nowhere", "no such folder or model: ", kept, 3},
        {"user/ship.x", "", "[i] Reloaded: ", 4},  // the front, side, top and three-quarter views
        {"POLYGON01", "", "[i] Reloaded: ", 2},    // a level file: its folder
    };
    for (const auto& row : rows) {
        const std::string path = (here / row.dropped).string();
        const std::size_t from = count();
        krovane::platform::WindowEvent drop;
        drop.type = krovane::platform::WindowEvent::Type::Drop;
        drop.path = path;
        testing::internal::CaptureStderr();
        loop.handleEvent(drop);
        testing::internal::GetCapturedStderr();
        const Lines said = joined(from);
        ASSERT_FALSE(said.empty()) << row.dropped;
        EXPECT_EQ(said.back().text, row.last + path) << row.dropped;
        if (!row.why.empty()) {
            EXPECT_EQ(said[said.size() - 2].text, row.why + (row.why.ends_with(": ") ? path : "")) << row.dropped;
        }
        EXPECT_EQ(engine.cameraManager()->cameraCount(), row.cameras) << row.dropped;
        EXPECT_EQ(engine.root(), opener.folder()) << row.dropped;  // a failure leaves the paths where they were
    }
    ::unsetenv("TMPDIR");
}

}  // namespace
