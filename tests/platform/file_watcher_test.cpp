// The file watcher on the real system (inotify), in a fresh folder: every way a program saves a file is reported,
// deletions and other folders are not, a folder that goes away says that events may be lost, and one that cannot
// be watched is reported.
#include <fcntl.h>  // AT_FDCWD
#include <gtest/gtest.h>
#include <sys/stat.h>  // utimensat

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "../recorded_reports.h"
#include "../temp_dir.h"
#include "platform/file_watcher.h"

namespace {

namespace fs = std::filesystem;
using krovane::platform::FileWatcher;

void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

struct Watched : ::testing::Test {
    krovane::test::TempDir dir;
    fs::path folder = fs::canonical(dir.path());
    std::string error;
    std::unique_ptr<FileWatcher> watcher = FileWatcher::create(error);
    FileWatcher::Changes changes;

    void SetUp() override {
        if (!watcher) GTEST_SKIP() << "no file watching here: " << error;
        write(folder / "crate.bmp", "old picture");
        ASSERT_TRUE(watcher->watchFolders({folder}));
    }
    bool reported(const fs::path& file) const {
        return std::find(changes.files.begin(), changes.files.end(), file) != changes.files.end();
    }
    // Polls until `file` is reported (or, with `lost`, until events are said to be lost); false after 10 s.
    bool waitFor(const fs::path& file, bool lost = false) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            watcher->poll(changes);
            if (lost ? changes.lost : reported(file)) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
};

// Each way a file is saved, as programs do it.
TEST_F(Watched, EveryWayOfSavingAFileIsReported) {
    const auto sameTimes = [](const fs::path& from, const fs::path& to) {
        struct stat info {};
        ASSERT_EQ(::stat(from.c_str(), &info), 0);
        const timespec times[2] = {info.st_atim, info.st_mtim};
        ASSERT_EQ(::utimensat(AT_FDCWD, to.c_str(), times, 0), 0);
    };
    const fs::path temporary = folder / "crate.bmp.tmp~", other = folder.parent_path() / "crate.bmp.other";
    const std::pair<const char*, std::function<void(const fs::path&)>> cases[] = {
        {"written in place", [](const fs::path& f) { write(f, "new picture"); }},
        {"a temporary file renamed over it (vim, IDEs)",
         [&](const fs::path& f) { write(temporary, "new picture"), fs::rename(temporary, f); }},
        {"cp -p: copied with the same size and times",
         [&](const fs::path& f) {
             write(other, "new picture");  // the same size as "old picture"
             sameTimes(f, other);
             fs::copy_file(other, f, fs::copy_options::overwrite_existing);
             sameTimes(other, f);
             fs::remove(other);
         }},
        {"deleted, then made again", [](const fs::path& f) { fs::remove(f), write(f, "new picture"); }},
        {"touched", [](const fs::path& f) { ASSERT_EQ(::utimensat(AT_FDCWD, f.c_str(), nullptr, 0), 0); }},
    };
    for (const auto& [how, save] : cases) {
        // Nothing of the case before is left: its last event came before the marker's.
        write(folder / "marker", "");
        ASSERT_TRUE(waitFor(folder / "marker"));
        changes = {};
        save(folder / "crate.bmp");
        EXPECT_TRUE(waitFor(folder / "crate.bmp")) << how;
        EXPECT_FALSE(changes.lost) << how;
    }
}

// What happens before a marker file is written shows by the time the marker is reported, as events come in order.
TEST_F(Watched, DeletionsAndOtherFoldersAreNotReported) {
    fs::create_directory(folder / "elsewhere");
    write(folder / "elsewhere" / "wood.bmp", "");
    fs::remove(folder / "crate.bmp");
    fs::create_directory(folder / "new folder");
    write(folder / "marker", "");
    ASSERT_TRUE(waitFor(folder / "marker"));
    EXPECT_EQ(changes.files, std::vector<fs::path>{folder / "marker"});

    // A folder no longer in the set is no longer watched.
    fs::create_directory(folder / "kept");
    ASSERT_TRUE(watcher->watchFolders({folder / "kept"}));
    changes = {};
    write(folder / "crate.bmp", "");
    write(folder / "kept" / "marker", "");
    ASSERT_TRUE(waitFor(folder / "kept" / "marker"));
    EXPECT_EQ(changes.files, std::vector<fs::path>{folder / "kept" / "marker"});
    EXPECT_FALSE(changes.lost);
}

TEST_F(Watched, AFolderThatGoesAwayLosesItsEvents) {
    fs::create_directory(folder / "textures");
    ASSERT_TRUE(watcher->watchFolders({folder, folder / "textures"}));
    fs::remove_all(folder / "textures");
    EXPECT_TRUE(waitFor({}, true));
    // A missing folder cannot be watched; the others still are.
    changes = {};
    EXPECT_FALSE(watcher->watchFolders({folder, folder / "textures"}));
    write(folder / "crate.bmp", "");
    EXPECT_TRUE(waitFor(folder / "crate.bmp"));
}

// Reported once, with the reason, though the folders are given again (as after every reload); the folder that can
// be watched still is.
TEST_F(Watched, EachFolderThatCannotBeWatchedIsReportedOnce) {
    write(folder / "a file", "");
    const std::pair<fs::path, const char*> unwatchable[] = {{folder / "missing", "No such file or directory"},
                                                            {folder / "a file", "Not a directory"}};
    decltype(krovane::test::RecordedReports::lines) said;
    for (const auto& [path, reason] : unwatchable)
        said.emplace_back(krovane::platform::ReportKind::Reason,
                          "watch: cannot watch " + path.string() + " (" + reason + "); changes there are not seen");
    krovane::test::RecordedReports reports;
    for (int time = 0; time < 3; ++time)
        EXPECT_FALSE(watcher->watchFolders({unwatchable[0].first, folder, unwatchable[1].first}));
    EXPECT_EQ(reports.lines, said);
    write(folder / "crate.bmp", "");
    EXPECT_TRUE(waitFor(folder / "crate.bmp"));
}

}  // namespace
