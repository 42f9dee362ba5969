// The platform's services: work in a child process, code page 1251, whole files and atomic writes, the frame timer,
// the path resolver, virtual keys by keyboard position with key bytes from SDL's state, and the file watcher.
#include <SDL2/SDL_scancode.h>  // by its SDL2/ path: the tests get no SDL include folder
#include <fcntl.h>              // AT_FDCWD
#include <gtest/gtest.h>
#include <sys/stat.h>  // utimensat
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "../recorded_reports.h"
#include "../temp_dir.h"
#include "platform/child_process.h"
#include "platform/clock.h"
#include "platform/code_page_1251.h"
#include "platform/file_io.h"
#include "platform/file_watcher.h"
#include "platform/frame_timer.h"
#include "platform/path_resolver.h"
#include "platform/virtual_keys.h"

namespace {

namespace kp = krovane::platform;
namespace fs = std::filesystem;

// The work's code and text come back when it returns; a fault comes back as a reason, never taking the caller down.
TEST(ChildProcess, ReturnsTheWorksCodeAndTextOrTheFault) {
    using Work = int (*)(std::string&);
    const Work grow = [](std::string& r) {  // takes 256 MiB
        const std::vector<char> big(std::size_t{256} << 20, 'k');
        return r = std::string(1, big.back()), 0;
    };
    constexpr std::size_t MiB = std::size_t{1} << 20;
    const std::tuple<const char*, Work, std::size_t, bool, int, const char*> cases[] = {
        // what, work, memory limit, finished, code, the report or the fault's start
        {"returns", [](std::string& r) { return r = "done", 0; }, 0, true, 0, "done"},
        {"fails", [](std::string& r) { return r = "no mesh", 1; }, 0, true, 1, "no mesh"},
        {"throws", [](std::string&) -> int { throw std::runtime_error("bad"); }, 0, false, -1, "failed: bad"},
        {"aborts", [](std::string&) -> int { std::abort(); }, 0, false, -1, "crashed ("},
        {"hangs", [](std::string&) { return int(::sleep(60)); }, 0, false, -1, "took longer than 1 s"},
        {"fits its memory", grow, 512 * MiB, true, 0, "k"},
        {"outgrows its memory", grow, 64 * MiB, false, -1, "ran out of memory (more than 64 MiB)"},
    };
    for (const auto& [what, work, limit, finished, code, text] : cases) {
#if defined(__SANITIZE_ADDRESS__)
        if (limit > 0) continue;  // the sanitizer's own allocator does not return to the work under a limit
#endif
        const auto outcome = kp::runInChildProcess(work, 1, limit);
        EXPECT_EQ(outcome.finished, finished) << what;
        EXPECT_EQ(outcome.outOfMemory, std::string_view(text).starts_with("ran out")) << what;
        EXPECT_TRUE(finished ? outcome.exitCode == code && outcome.report == text : outcome.fault.rfind(text, 0) == 0)
            << what << ": " << outcome.report << outcome.fault;
    }
}

TEST(Cp1251, LiteralsConversionBothWaysAndFolding) {
    constexpr auto mixed = krovane::cp1251("Камера № 3 Ёё");
    EXPECT_EQ(std::string(mixed.c_str()), "\xCA\xE0\xEC\xE5\xF0\xE0 \xB9 3 \xA8\xB8");
    std::string all, back;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    ASSERT_TRUE(krovane::utf8ToCp1251(krovane::cp1251ToUtf8(all), back));
    EXPECT_EQ(back, all);
    EXPECT_EQ(krovane::cp1251ToUtf8("\xD1\xEB\xEE\xE2\xEE"), "Слово");
    EXPECT_EQ(krovane::cp1251ToUtf8("\x88 \x98"), "€ \xC2\x98");  // euro; the unassigned byte keeps its place
    // Refused: what the code page cannot hold (reported at its byte), and malformed UTF-8
    // (a lone continuation byte, a cut sequence, an overlong form, a surrogate).
    std::size_t bad = 99;
    EXPECT_TRUE(!krovane::utf8ToCp1251("ok 中", back, &bad) && bad == 3);
    EXPECT_TRUE(!krovane::utf8ToCp1251("\xF0\x9F\x98\x80", back, &bad) && bad == 0);  // an emoji
    for (const char* text : {"a\x80", "a\xD0", "\xC0\xAF", "\xED\xA0\x80"})
        EXPECT_FALSE(krovane::utf8ToCp1251(text, back)) << text;
    // The lossy form marks each character it cannot hold, and a cut sequence, with one '?'.
    EXPECT_EQ(krovane::utf8ToCp1251Lossy("Привет, 中文."), "\xCF\xF0\xE8\xE2\xE5\xF2, ??.");
    EXPECT_EQ(krovane::utf8ToCp1251Lossy(std::string("a\xD0") + "b"), "a?b");
    // Q q, А а, Я я, Ё ё, І і fold; lower case and other bytes stay.
    const char folds[][2] = {{'Q', 'q'},       {'\xC0', '\xE0'}, {'\xDF', '\xFF'}, {'\xA8', '\xB8'},
                             {'\xB2', '\xB3'}, {'\xE0', '\xE0'}, {'_', '_'},       {'q', 'q'}};
    for (const auto& [upper, lower] : folds)
        EXPECT_EQ(krovane::cp1251ToLower(upper), lower) << int(static_cast<unsigned char>(upper));
}

TEST(FileIo, ReadsWholeFilesWithALimitAndWritesAtomicallyOrUnderAFreeName) {
    krovane::test::TempDir dir;
    const std::string content(200000, 'k');
    std::ofstream("big.txt", std::ios::binary) << content;
    std::string out;
    EXPECT_TRUE(kp::readWholeFile("big.txt", out, content.size()) == kp::ReadStatus::Ok && out == content);
    EXPECT_TRUE(kp::readWholeFile("big.txt", out, 1000) == kp::ReadStatus::TooLarge && out.empty());
    EXPECT_EQ(kp::readWholeFile("nothing.txt", out, 1000), kp::ReadStatus::Missing);
    EXPECT_EQ(kp::readWholeFile(".", out, 1000), kp::ReadStatus::ReadFailed);
    // Files of /proc report a size of 0 and are read to their end all the same.
    if (fs::exists("/proc/self/maps")) {
        ASSERT_EQ(kp::readWholeFile("/proc/self/maps", out, 1 << 24), kp::ReadStatus::Ok);
        EXPECT_TRUE(out.size() > 4096 && out.back() == '\n');  // more than one small read
        EXPECT_EQ(kp::readWholeFile("/proc/self/maps", out, 100), kp::ReadStatus::TooLarge);
    }
    fs::remove("big.txt");
    ASSERT_TRUE(kp::writeFileAtomically("f.txt", "first version") && kp::writeFileAtomically("f.txt", "second"));
    EXPECT_TRUE(kp::readWholeFile("f.txt", out, 100) == kp::ReadStatus::Ok && out == "second") << out;
    // A target that cannot be replaced (a folder) keeps what was there and leaves no temporary file.
    fs::create_directory("folder");
    std::ofstream("folder/inside") << "x";
    EXPECT_TRUE(!kp::writeFileAtomically("folder", "data") && fs::is_directory("folder"));
    EXPECT_FALSE(kp::writeFileAtomically("missing/f.txt", "data"));
    const auto file = [](const fs::directory_entry& e) { return e.is_regular_file(); };
    EXPECT_EQ(std::count_if(fs::directory_iterator(dir.path()), {}, file), 1);
    // Writing under a free name never replaces a file: names taken, by a file or by a link to nothing, are passed
    // over; where nothing can be written, no name comes back.
    std::ofstream("pic.png") << "mine";
    fs::create_symlink("lost/target", "pic_3.png");
    for (const char* expected : {"pic_2.png", "pic_4.png", "pic_5.png"})
        EXPECT_EQ(kp::writeToFreeName("pic", ".png", "new"), expected);
    EXPECT_TRUE(kp::readWholeFile("pic.png", out, 100) == kp::ReadStatus::Ok && out == "mine");
    EXPECT_FALSE(fs::exists("lost"));
    EXPECT_TRUE(kp::writeToFreeName("missing/pic", ".png", "new").empty());
}

// A file changed behind the same size and modification time, as cp -p, rsync -t and tar leave it, gets a new
// stamp all the same: replaced by another file, or rewritten in place.
TEST(FileIo, AStampSeesChangesThatKeepSizeAndTime) {
    krovane::test::TempDir dir;
    const std::pair<const char*, void (*)()> ways[] = {
        {"replaced", [] { (std::ofstream("new") << "after!").close(), fs::rename("new", "f"); }},
        {"rewritten in place", [] { std::ofstream("f") << "after!"; }}};
    for (const auto& [how, change] : ways) {
        std::ofstream("f") << "before";
        kp::FileStamp before, after, probe;
        ASSERT_TRUE(kp::fileStamp("f", before));
        // Status times advance with the kernel's clock tick: wait until a fresh write shows a later one.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        do std::ofstream("probe") << how;
        while (kp::fileStamp("probe", probe) && probe.changed <= before.changed &&
               std::chrono::steady_clock::now() < deadline);
        change();
        const timespec times[2] = {{0, UTIME_OMIT}, {before.modified / 1000000000, before.modified % 1000000000}};
        ASSERT_EQ(::utimensat(AT_FDCWD, "f", times, 0), 0);
        ASSERT_TRUE(kp::fileStamp("f", after));
        EXPECT_TRUE(after.size == before.size && after.modified == before.modified) << how;
        EXPECT_FALSE(after == before) << how;
    }
}

// The frame timer over the settable tick: wrap-around. (A mark in the future, as a key press makes it, reads
// as long expired: the console's pacing tests show it.)
TEST(FrameTimer, WrapsAroundThe32BitTick) {
    kp::Clock::setManualTicks(0xFFFFFF00u);
    kp::FrameTimer t;
    t.Reset();
    kp::Clock::advanceTicks(0x200);  // wraps past zero
    EXPECT_TRUE(kp::Clock::ticks() == 0x100 && t.Elapsed() == 0x200) << t.Elapsed();
    kp::Clock::useRealTime();
}

// Backslashes, letter case per component for Latin and Cyrillic (code page 1251
// in, UTF-8 on disk) names, and new files, which keep their name in the matched folder.
TEST(PathResolver, BackslashesLetterCasePerComponentAndNewFiles) {
    krovane::test::TempDir dir;
    for (const char* file : {"textures/_def/white.bmp", "textures/Stone.BMP", "fx/vek_Phong.fx", "модели/Дом.x"}) {
        fs::create_directories(fs::path(file).parent_path());
        std::ofstream(file) << "x";
    }
    for (const auto& [engine, disk] : {std::pair<std::string, fs::path>{"fx\\vek_Phong.fx", "fx/vek_Phong.fx"},
                                       {"", {}},
                                       {"textures\\_def\\white.bmp", "textures/_def/white.bmp"},
                                       {"TEXTURES\\stone.bmp", "textures/Stone.BMP"},
                                       {"FX/VEK_PHONG.FX", "fx/vek_Phong.fx"},
                                       {"\xCC\xCE\xC4\xC5\xCB\xC8\\\xE4\xEE\xEC.x", "модели/Дом.x"},
                                       {dir.path().string() + "/TEXTURES/stone.bmp", dir.path() / "textures/Stone.BMP"},
                                       {"Textures\\new.bmp", "textures/new.bmp"},
                                       {"nowhere\\deeper\\file", "nowhere/deeper/file"},
                                       {"LOG.dr", "LOG.dr"}})
        EXPECT_EQ(kp::PathResolver::resolve(engine), disk) << engine;
    // With a root, relative paths resolve there whatever the current folder; absolute ones stay.
    kp::PathResolver::setRoot(dir.path() / "textures");
    fs::current_path(dir.path() / "fx");
    for (const auto& [engine, disk] : {std::pair<std::string, fs::path>{"STONE.bmp", "Stone.BMP"},
                                       {"_def\\white.bmp", "_def/white.bmp"},
                                       {"new\\file", "new/file"}})
        EXPECT_EQ(kp::PathResolver::resolve(engine), dir.path() / "textures" / disk) << engine;
    EXPECT_EQ(kp::PathResolver::resolve("/nowhere/x"), fs::path("/nowhere/x"));
    kp::PathResolver::setRoot({});
    EXPECT_EQ(kp::PathResolver::resolve("vek_phong.fx"), fs::path("vek_Phong.fx"));
}

TEST(VirtualKeys, LayoutByPositionAndNoTwoKeysShareACode) {
    // Letters, digits, function and keypad keys run in order; SDL puts 0 after 9.
    for (int i = 0; i < 26; ++i) EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_A + i), 'A' + i) << i;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_1 + i), '0' + (i + 1) % 10) << i;
    for (int i = 0; i < 10; ++i) EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_KP_1 + i), 0x60 + (i + 1) % 10);
    for (int i = 0; i < 12; ++i) EXPECT_EQ(kp::virtualKeyForScancode(SDL_SCANCODE_F1 + i), 0x70 + i) << i;
    // The keys the console and camera read; keys without a code and numbers that are no scancode give 0.
    const int anchors[][2] = {
        {SDL_SCANCODE_GRAVE, 0xC0},  {SDL_SCANCODE_MINUS, 0xBD},    {SDL_SCANCODE_PERIOD, 0xBE},
        {SDL_SCANCODE_UP, 0x26},     {SDL_SCANCODE_KP_PLUS, 0x6B},  {SDL_SCANCODE_KP_PERIOD, 0x6E},
        {SDL_SCANCODE_RETURN, 0x0D}, {SDL_SCANCODE_KP_ENTER, 0x0D}, {SDL_SCANCODE_LSHIFT, 0xA0},
        {SDL_SCANCODE_RSHIFT, 0xA1}, {SDL_SCANCODE_UNKNOWN, 0},     {SDL_SCANCODE_MUTE, 0},
        {SDL_NUM_SCANCODES, 0}};
    for (const auto& [scancode, key] : anchors) EXPECT_EQ(kp::virtualKeyForScancode(scancode), key) << scancode;
    for (const int outside : {-1, 1 << 30}) EXPECT_EQ(kp::virtualKeyForScancode(outside), 0) << outside;
    // No two keys of a US keyboard share a code.
    // Keypad Enter is the one key that shares Enter's code on purpose, and the
    // ISO key beside Enter stands in the place of backslash.
    std::vector<int> owner(256, -1);
    for (int scancode = 0; scancode < SDL_NUM_SCANCODES; ++scancode) {
        const std::uint8_t key = kp::virtualKeyForScancode(scancode);
        if (key == 0 || scancode == SDL_SCANCODE_KP_ENTER || scancode == SDL_SCANCODE_NONUSHASH) continue;
        EXPECT_EQ(owner[key], -1) << "scancodes " << owner[key] << " and " << scancode << " both give " << int{key};
        owner[key] = scancode;
        // The either-side modifier codes are never a key of their own.
        EXPECT_TRUE(key != kp::kVkShift && key != kp::kVkControl && key != kp::kVkMenu) << scancode;
    }
}

TEST(VirtualKeys, KeyboardStateMarksDownKeysAndEitherSideModifiers) {
    std::vector<std::uint8_t> sdl(SDL_NUM_SCANCODES, 0);
    std::uint8_t state[256];
    auto build = [&](std::vector<int> down, int count = SDL_NUM_SCANCODES, bool numLock = true) {
        sdl.assign(sdl.size(), 0);
        for (int scancode : down) sdl[std::size_t(scancode)] = 1;
        state[kp::kVkQ] = 0x80;  // stale: every call rewrites all 256 bytes
        kp::buildKeyboardState(sdl.data(), count, state, numLock);
        std::vector<int> keys;
        for (int key = 0; key < 256; ++key) {
            EXPECT_TRUE(state[key] == 0 || state[key] == 0x80) << key;
            if (state[key] != 0) keys.push_back(key);
        }
        return keys;
    };
    const std::vector<int> down = {kp::kVkReturn, kp::kVkShift, kp::kVkMenu, 'W',
                                   kp::kVkRShift, kp::kVkLMenu, kp::kVkOem3};
    EXPECT_EQ(build({SDL_SCANCODE_W, SDL_SCANCODE_GRAVE, SDL_SCANCODE_KP_ENTER, SDL_SCANCODE_RSHIFT, SDL_SCANCODE_LALT,
                     SDL_SCANCODE_MUTE}),
              down);
    EXPECT_EQ(build({SDL_SCANCODE_LSHIFT, SDL_SCANCODE_RCTRL}), (std::vector<int>{0x10, 0x11, 0xA0, 0xA3}));
    // Only `count` states are read, a negative count reads none; keypad decimal is Delete without Num Lock.
    EXPECT_EQ(build({SDL_SCANCODE_A, SDL_SCANCODE_RSHIFT}, SDL_SCANCODE_A + 1), std::vector<int>{kp::kVkA});
    EXPECT_EQ(build({SDL_SCANCODE_A}, -5), std::vector<int>{});
    EXPECT_EQ(build({SDL_SCANCODE_KP_PERIOD}), std::vector<int>{kp::kVkDecimal});
    EXPECT_EQ(build({SDL_SCANCODE_KP_PERIOD}, SDL_NUM_SCANCODES, false), std::vector<int>{kp::kVkDelete});
    kp::buildKeyboardState(nullptr, SDL_NUM_SCANCODES, state);
    EXPECT_EQ(std::vector<std::uint8_t>(state, state + 256), std::vector<std::uint8_t>(256, 0));
}

TEST(VirtualKeys, TheDesktopKeepsF10AndAltCombinations) {
    // Key, Alt, Ctrl, reserved; Ctrl+Alt is AltGr: it types.
    const std::tuple<std::uint8_t, bool, bool, bool> cases[] = {
        {kp::kVkF10, false, false, true}, {kp::kVkLMenu, true, false, true}, {kp::kVkA, true, false, true},
        {kp::kVkA, true, true, false},    {kp::kVkA, false, false, false},   {kp::kVkF9, false, true, false}};
    for (const auto& [key, alt, control, reserved] : cases)
        EXPECT_EQ(kp::reservedByDesktop(key, alt, control), reserved) << int(key) << alt << control;
}

using krovane::platform::FileWatcher;

void write(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// The file watcher on the real system (inotify), in a fresh folder: every way a program saves a file is reported,
// deletions and other folders are not, a folder that goes away says that events may be lost, and one that cannot
// be watched is reported.
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
    // Polls until `file` is reported (or, with `lost`, until events are said to be lost); false after 10 s.
    bool waitFor(const fs::path& file, bool lost = false) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        for (;;) {
            watcher->poll(changes);
            if (lost ? changes.lost : std::count(changes.files.begin(), changes.files.end(), file) > 0) return true;
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
};

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

// A folder that goes away says that events may be lost. One that cannot be watched (gone, or a file) is reported once,
// with the reason, though the folders are given again (as after every reload); the one that can be watched still is.
TEST_F(Watched, AFolderGoneOrUnwatchableIsSaidOnceAndTheOthersStillWatched) {
    fs::create_directory(folder / "textures");
    ASSERT_TRUE(watcher->watchFolders({folder, folder / "textures"}));
    fs::remove_all(folder / "textures");
    EXPECT_TRUE(waitFor({}, true));
    write(folder / "a file", "");
    const std::pair<fs::path, const char*> unwatchable[] = {{folder / "textures", "No such file or directory"},
                                                            {folder / "a file", "Not a directory"}};
    decltype(krovane::test::RecordedReports::lines) said;
    for (const auto& [path, reason] : unwatchable)
        said.emplace_back(krovane::platform::ReportKind::Reason,
                          "watch: cannot watch " + path.string() + " (" + reason + "); changes there are not seen");
    krovane::test::RecordedReports reports;
    changes = {};
    for (int time = 0; time < 3; ++time)
        EXPECT_FALSE(watcher->watchFolders({unwatchable[0].first, folder, unwatchable[1].first}));
    EXPECT_EQ(reports.lines, said);
    write(folder / "crate.bmp", "");
    EXPECT_TRUE(waitFor(folder / "crate.bmp"));
}

}  // namespace
