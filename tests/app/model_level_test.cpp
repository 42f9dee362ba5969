// The level made for a model: whatever the model's size and place, all of it is in every camera's view and the
// viewer's first view; it is made in the cache (or a private folder), never beside the model, once, and again when
// the model changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "../level_files.h"
#include "../logged_lines.h"
#include "../temp_dir.h"
#include "app/krovane.h"
#include "app/model_level.h"
#include "app/main_loop.h"
#include "app/model_view.h"
#include "gfx/mesh.h"
#include "gfx/recording_device.h"
#include "params/korvane_c_ini_reader.h"
#include "platform/clock.h"
#include "platform/virtual_keys.h"
#include "scene/krovane_camera.h"
#include "scene/static_c_object.h"

using namespace krovane::app;

namespace {

namespace fs = std::filesystem;
using krovane::gfx::Matrix;
using krovane::gfx::Vector3;

// A .x model of three triangles through the eight corners of the box `low` to `high`.
std::string boxModel(const Vector3& low, const Vector3& high) {
    std::string x = "xof 0303txt 0032\nMesh box {\n 8;\n";
    for (int corner = 0; corner < 8; ++corner) {
        char line[128];
        std::snprintf(line, sizeof line, " %.9g;%.9g;%.9g;%s\n", corner & 1 ? high.x : low.x,
                      corner & 2 ? high.y : low.y, corner & 4 ? high.z : low.z, corner < 7 ? "," : ";");
        x += line;
    }
    return x + " 3;\n 3;0,1,2;,\n 3;3,4,5;,\n 3;6,7,0;;\n}\n";
}

TEST(ModelLevel, EveryCornerOfTheModelIsInEveryViewWhateverItsSizeAndPlace) {
    const struct {
        const char* name;
        Vector3 low, high;
    } models[] = {
        {"a 1 mm cube", {-0.0005f, -0.0005f, -0.0005f}, {0.0005f, 0.0005f, 0.0005f}},
        {"10 km of land", {-5000, 0, -5000}, {5000, 30, 5000}},
        {"off the origin", {4990, -320, 2}, {5010, -300, 22}},
        {"a long pole", {-0.5f, -0.5f, -1000}, {0.5f, 0.5f, 1000}},
        {"flat", {-50, 7, -50}, {50, 7, 50}},
        {"a point", {3, 3, 3}, {3, 3, 3}},
        {"10^30 units", {-1e30f, -1e30f, 0}, {1e30f, 1e30f, 1e30f}},
        {"10^-30 units", {0, 0, 0}, {1e-30f, 1e-30f, 1e-30f}},
    };
    for (const auto& model : models) {
        SCOPED_TRACE(model.name);
        krovane::test::TempDir dir;
        for (const char* file : {"fx/krovane_model.fx", "fx/vek_Phong.fx", "textures/_def/white.bmp",
                                 "textures/_def/red.bmp", "textures/_def/Blue.bmp", "textures/_def/yellow.bmp"})
            krovane::test::copyDemoFile(file);
        krovane::test::writeFile("model.x", boxModel(model.low, model.high));
        std::string error;
        ASSERT_TRUE(
            ModelLevel::writeLevel(dir.path(), "model.x", ModelLevel::frame(model.low, model.high), "a box", error));
        Krovane engine;
        engine.Initialize(krovane::gfx::RecordingDevice::create());
        for (const auto& line : krovane::test::loggedMessages(*engine.console()))
            EXPECT_NE(line.type, "_ERROR_") << line.text;
        const auto* object = dynamic_cast<const Static_CObject*>(engine.objectManager()->entry(1)->object.get());
        ASSERT_TRUE(object != nullptr && object->mesh() != nullptr);
        const Vector3 &lo = object->mesh()->boundsMin(), &hi = object->mesh()->boundsMax();
        const Krovane_Camera_Manager& cameras = *engine.cameraManager();
        ASSERT_EQ(cameras.cameraCount(), 4u);
        std::vector<Krovane_Camera> views;
        for (int c = 1; c <= 4; ++c) views.push_back(*cameras.camera(c));
        // The viewer's first view, in a tall window standing on +Z and in a wide one on -X.
        using Axis = krovane::scene::OrbitControl::Axis;
        for (const auto& [up, width, height] : {std::tuple{Axis::PlusZ, 300, 600}, {Axis::MinusX, 1000, 250}}) {
            ModelView view(up);
            view.start(engine, width, height);
            view.applyTo(engine);
            views.push_back(*cameras.CurrentCamera());
            views.back().projection = views.back().projectionMatrix();
        }
        float largest = 0;  // the largest side of the box on screen, in any view (2: the whole width)
        for (const Krovane_Camera& camera : views) {
            const Matrix m =
                krovane::gfx::multiply(krovane::gfx::multiply(object->world, camera.viewMatrix()), camera.projection);
            float ndcLow[2] = {1, 1}, ndcHigh[2] = {-1, -1};
            for (int corner = 0; corner < 8; ++corner) {
                const float p[3] = {corner & 1 ? hi.x : lo.x, corner & 2 ? hi.y : lo.y, corner & 4 ? hi.z : lo.z};
                float clip[4];
                for (int j = 0; j < 4; ++j)
                    clip[j] = p[0] * m.m[0][j] + p[1] * m.m[1][j] + p[2] * m.m[2][j] + m.m[3][j];
                const float w = clip[3];
                EXPECT_TRUE(w > 0 && std::abs(clip[0]) <= w && std::abs(clip[1]) <= w && clip[2] >= 0 && clip[2] <= w)
                    << camera.name.view() << " corner " << corner << ": " << clip[0] << " " << clip[1] << " " << clip[2]
                    << " " << w;
                for (int k = 0; k < 2; ++k) {
                    ndcLow[k] = std::min(ndcLow[k], clip[k] / w);
                    ndcHigh[k] = std::max(ndcHigh[k], clip[k] / w);
                }
            }
            largest = std::max({largest, ndcHigh[0] - ndcLow[0], ndcHigh[1] - ndcLow[1]});
        }
        EXPECT_TRUE(largest > 0.5f || model.low.x == model.high.x) << "too small to be seen: " << largest;
    }
}

// A model that moves plays its first set from the first view, the loop's frames moving it; Space pauses and
// resumes, N steps through the sets (back to the first), each said in a System line.
TEST(ModelLevel, AModelThatMovesPlaysItsSetsInTurnAndPauses) {
    krovane::test::TempDir dir;
    krovane::test::writeFile("model.x", R"(xof 0303txt 0032
AnimTicksPerSecond { 1; }
Frame Arm { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; } Mesh { 3; 1;0;0;, 0;1;0;, 0;0;1;; 1; 3;0,1,2;; } }
AnimationSet Slide { Animation { { Arm } AnimationKey { 2; 2; 0;3;0,0,0;;, 4;3;8,0,0;;; } } }
AnimationSet { Animation { { Arm } AnimationKey { 2; 2; 0;3;0,0,0;;, 4;3;0,8,0;;; } } })");
    std::string error;
    ASSERT_TRUE(ModelLevel::writeLevel(dir.path(), "model.x", ModelLevel::frame({0, 0, 0}, {1, 1, 1}), "", error));
    Krovane engine;
    engine.Initialize(krovane::gfx::RecordingDevice::create());
    const std::size_t from = krovane::test::loggedMessages(*engine.console()).size();
    ModelView view;
    view.start(engine, 640, 480);
    using namespace krovane::platform;
    // Frames of the viewer's loop, the clock stopped between them.
    Clock::setManualTicks(1000);
    MainLoop loop(engine);
    loop.showModel(&view);
    const auto centreXAfter = [&](std::uint32_t milliseconds) {
        Clock::advanceTicks(milliseconds);
        loop.idlePass();
        Vector3 low, high;
        EXPECT_TRUE(ModelView::worldBounds(engine, low, high));
        return (low.x + high.x) / 2;
    };
    const float still = centreXAfter(0);
    const float moved = centreXAfter(1000);
    EXPECT_GT(moved, still);
    view.keyPressed(engine, kVkSpace);
    EXPECT_EQ(centreXAfter(1000), moved);
    for (const std::uint8_t key : {kVkSpace, kVkN, kVkN}) view.keyPressed(engine, key);
    Clock::useRealTime();
    std::vector<std::string> said;
    for (const auto& line : krovane::test::loggedMessages(*engine.console(), from)) said.push_back(line.text);
    EXPECT_EQ(said, (std::vector<std::string>{"Animation 1 of 2: Slide", "Animation paused", "Animation plays",
                                              "Animation 2 of 2", "Animation 1 of 2: Slide"}));
    engine.Shutdown();
}

// The level's own files read back as meant: the keys and values the engine reads, in its order; a model path with
// blanks, quotes, braces and a comment sign whole; a line break in the model's name kept inside the comment.
TEST(ModelLevel, ItsFilesReadBackAsMeant) {
    krovane::test::TempDir dir;
    std::string error;
    ASSERT_TRUE(ModelLevel::writeLevel(dir.path(), "source\\my \"ship\" {2} #1.x", {2.5f, {1, -2, 0.125f}}, "a\nship }",
                                       error));
    const auto tree = [](std::string_view text, bool ini = false) {
        DynamicRow read;
        if (ini)
            Korvane_cIniReader::readSettings(text, read, 0);
        else
            EXPECT_TRUE(read.loadFromText(text, "file")) << read.lastLoadError().describe();
        std::string written;
        read.writeText(written);
        return written;
    };
    const auto file = [&](const char* name) {
        std::ifstream in(dir.path() / name);
        return std::string(std::istreambuf_iterator<char>(in), {});
    };
    EXPECT_EQ(tree(file("objects/model.DR")),
              "_MODEL_FILE_ { \"source\\my \"\"ship\"\" {2} #1.x\" }\n_FX_ { krovane_model }\n");
    EXPECT_EQ(tree(file("POLYGON01")), tree(R"(_CAMERAS_ {
        front { _POSITION_ { 0 0 -300.50946 } _LOOK_ { 0 0 0 } _MOVESPEED_ { 1 } }
        side { _POSITION_ { 300.50946 0 0 } _LOOK_ { 0 0 0 } _MOVESPEED_ { 1 } }
        top { _POSITION_ { 0 300.50946 -3.00509453 } _LOOK_ { 0 0 0 } _MOVESPEED_ { 1 } }
        three_quarter { _POSITION_ { 156.264908 126.213966 -222.376999 } _LOOK_ { 0 0 0 } _MOVESPEED_ { 1 } } }
    _LIGHTS_ { key { _POSITION_ { 0 0 -300.50946 } _COLOR_ { 1 1 1 } _FALLOFF_ { 1202.03784 } _SPECULAR_ { 20 }
                     _SPECULAR_INTENSY_ { 0.3 } _AMBIENT_ { 0.3 } _ATTENUATION_ { 0.5 } } }
    _EFFECTS_ { krovane_model { _FILE_FX_ { fx\krovane_model.fx } _FILE_ { none } } }
    _OBJECTS_ { model { _OBJECT_TYPE_ { _OBJECT_SIMPLE_ } _OBJECT_PATH_ { objects\model.DR }
                        _POSITION_ { 1 -2 0.125 } _ROTATION_ { 0 0 0 } _SCALE_ { 2.5 } } })"));
    EXPECT_EQ(tree(file("ini.txt"), true), tree("SCREEN = 1024, 768\nBACK_RENDERER_COLOR = 40, 44, 52\n"
                                                "MULTISAMPLE_TYPE = 4\nMULTISAMPLEANTIALIAS = 1\n"
                                                "MULTISAMPLE_SOFTWARE = 0\nFILLMODE = 3\n",
                                                true));
}

// The cache and the system's temporary folder in a scratch folder.
struct Cache : ::testing::Test {
    krovane::test::TempDir dir;
    fs::path model = dir.path() / "user" / "ship.x";
    Cache() {
        ::setenv("XDG_CACHE_HOME", (dir.path() / "cache").c_str(), 1);
        ::setenv("TMPDIR", (dir.path() / "tmp").c_str(), 1);
        fs::create_directories(dir.path() / "tmp");
        ::unsetenv("KROVANE_NO_CACHE");
        krovane::test::writeFile("user/ship.x", boxModel({0, 0, 0}, {2, 1, 1}));
    }
    ~Cache() override {
        ::setenv("KROVANE_NO_CACHE", "1", 1);
        ::unsetenv("XDG_CACHE_HOME");
        ::unsetenv("TMPDIR");
    }
    static std::set<fs::path> listing(const fs::path& folder) {
        std::set<fs::path> files;
        for (const auto& entry : fs::recursive_directory_iterator(folder)) files.insert(entry.path());
        return files;
    }
    // Prepares the level and what it said on stderr.
    std::string open(ModelLevel& level) {
        std::string error;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(level.prepare(model, "test", error)) << error;
        return testing::internal::GetCapturedStderr();
    }
};

TEST_F(Cache, TheLevelIsMadeInTheCacheOnceAndAgainWhenTheModelChanges) {
    const std::set<fs::path> before = listing(model.parent_path());
    ModelLevel first, second, changed, uncached;
    const std::string said = open(first);
    EXPECT_TRUE(first.made());
    EXPECT_EQ(first.folder().parent_path(), dir.path() / "cache" / "krovane" / "models");
    EXPECT_EQ(said, "test: the level made for " + model.string() + ", and its LOG.dr, are in " +
                        first.folder().string() + "\n");

    // What it read is handed on once, under the path and stamp the engine finds the file by.
    std::optional<ModelLevel::ParsedModel> parsed = first.takeParsedModel();
    krovane::platform::FileStamp stamp;
    ASSERT_TRUE(parsed && krovane::platform::fileStamp(first.folder() / "source" / "ship.x", stamp));
    EXPECT_TRUE(parsed->enginePath == "source\\ship.x" && parsed->stamp == stamp && parsed->model.vertices.size() == 8);
    EXPECT_FALSE(first.takeParsedModel());

    open(second);
    EXPECT_FALSE(second.made());
    EXPECT_FALSE(second.takeParsedModel());  // found unchanged: nothing read
    EXPECT_EQ(second.folder(), first.folder());

    std::ofstream(model, std::ios::app) << "\n";
    open(changed);
    EXPECT_TRUE(changed.made());
    EXPECT_EQ(changed.folder(), first.folder());

    // Replaced by a copy of the same size and time (cp -p): another file all the same. Made again by the same
    // viewer (watching it), the folder it already named is not named again.
    const fs::file_time_type time = fs::last_write_time(model);
    std::string text = boxModel({0, 0, 0}, {3, 1, 1});
    text.resize(fs::file_size(model), ' ');
    fs::remove(model);
    krovane::test::writeFile(model.string(), text);
    fs::last_write_time(model, time);
    EXPECT_EQ(open(changed), "");
    EXPECT_TRUE(changed.made());
    EXPECT_TRUE(changed.modelRead());

    ::setenv("KROVANE_NO_CACHE", "1", 1);  // no cache: a private folder, made again in place, gone on exit
    open(uncached);
    EXPECT_TRUE(uncached.made());
    EXPECT_EQ(uncached.folder().parent_path(), dir.path() / "tmp");
    EXPECT_EQ(fs::status(uncached.folder()).permissions() & fs::perms::all, fs::perms::owner_all);
    for (const char* picture : {"", "shot.png"}) {
        auto gone = std::make_unique<ModelLevel>();
        open(*gone);
        EXPECT_EQ(std::count_if(fs::directory_iterator(dir.path() / "tmp"), {}, [](auto&) { return true; }), 2);
        const fs::path folder = gone->folder();
        if (*picture != '\0') std::ofstream(folder / picture) << "picture";
        std::ofstream(model, std::ios::app) << "\n";
        EXPECT_EQ(open(*gone), "");
        EXPECT_EQ(gone->folder(), folder);
        testing::internal::CaptureStderr();
        gone.reset();
        const std::string kept = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(fs::exists(folder / picture) == (*picture != '\0') && !fs::exists(folder / "POLYGON01"));
        EXPECT_EQ(kept, *picture == '\0' ? "" : "test: the pictures taken are kept in " + folder.string() + "\n");
        if (*picture != '\0') fs::remove_all(folder);
    }
    ::unsetenv("KROVANE_NO_CACHE");

    // A cache that cannot be written (here: a folder where the level file goes) is left for a private folder.
    ModelLevel unwritable;
    fs::remove(first.folder() / "POLYGON01");
    fs::create_directory(first.folder() / "POLYGON01");
    open(unwritable);
    EXPECT_EQ(unwritable.folder().parent_path(), dir.path() / "tmp");
    EXPECT_EQ(listing(model.parent_path()), before);  // nothing written beside the model
}

}  // namespace
