// LevelWatch: reloads what changed on disk while the viewer runs
// (krovane --watch, and always for a model file opened).
//
// It learns which files the level was made from (the level file, the effect
// files, the objects' parameter files, their models and every texture path
// they tried, found or not) and watches their folders through
// platform::FileWatcher. Once per frame, between frames (poll), it reads what
// changed; a file is taken when its events have settled (kSettleMilliseconds
// without another, so that a save in several steps is one change; an event is
// dated by the poll before the one that reads it, the earliest it can have
// come, so that slow frames add no frame of their own) and only when it is
// not the file last read (its stamp: size, times, inode). Then:
//   the level file        the whole level loads again (Krovane::reloadLevel);
//   an opened model       its level is made again (ModelLevel::prepare, which
//                         imports it again where needed), then loaded again;
//   an effect file        its effects are built again (Krovane_Effect_Manager::reloadFile);
//   anything else         the objects made from it are made again
//                         (Krovane_Object_Manager::reloadFile).
// Each reload prints one line naming the file (see scene/file_source.h); one
// that fails keeps what was shown and is tried again at the file's next
// change. A file deleted waits until it is there again. After each reload
// the files and folders are learnt again.
//
// The level made for an opened model lives in the cache and is the viewer's
// own: only the model and the files outside that folder are watched
// (textures beside a .x model); a model of another format is imported again
// only when its own file changes.
//
// While nothing changes, a frame's poll is one system call and allocates nothing.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/file_io.h"
#include "platform/file_watcher.h"

class Krovane;
namespace krovane::app {

class ModelLevel;

class LevelWatch {
public:
    // How long a file's events must have stopped before it is read.
    static constexpr std::uint32_t kSettleMilliseconds = 20;

    // What a file is to the level, as a set of bits.
    enum Kind : unsigned { kLevel = 1, kEffect = 2, kObject = 4, kModel = 8 };

    // Watches the files of `engine`'s level (started, with keepSources set)
    // through `watcher`. With a `model`, the level is the one made for the
    // model file `modelFile` (absolute).
    LevelWatch(Krovane& engine, std::unique_ptr<krovane::platform::FileWatcher> watcher, ModelLevel* model = nullptr,
               std::filesystem::path modelFile = {});

    // Between frames: reads what changed and reloads what has settled.
    void poll();
    // Learns again which files the level was made from and watches their folders.
    void refresh();

    // The files watched (canonical paths) with their kinds, for tests.
    std::unordered_map<std::string, unsigned> watched() const;

private:
    struct Watched {
        std::vector<std::string> keys;  // as the scene names the file (see FileSource)
        unsigned kinds = 0;
        bool there = false;  // when last read
        krovane::platform::FileStamp stamp;
    };
    struct Pending {
        std::string file;
        std::uint32_t lastEvent;
    };

    void note(const std::string& file, std::uint32_t now);
    // Reloads the files in `due` (canonical paths, each changed since last read).
    void reload(const std::vector<std::string>& due);
    // The model file changed: its level made again and loaded.
    bool reloadModel();

    Krovane& engine_;
    std::unique_ptr<krovane::platform::FileWatcher> watcher_;
    ModelLevel* model_;
    std::filesystem::path modelFile_;
    std::unordered_map<std::string, Watched> files_;  // by canonical path
    std::vector<Pending> pending_;
    krovane::platform::FileWatcher::Changes changes_;
    std::uint32_t lastPoll_;
};

}  // namespace krovane::app
