// Reloading what changed on disk, once per frame.
#include "app/level_watch.h"

#include <algorithm>
#include <system_error>

#include "app/krovane.h"
#include "app/level_opener.h"
#include "app/model_level.h"
#include "platform/clock.h"
#include "scene/file_source.h"

using namespace krovane::scene;

namespace fs = std::filesystem;
using krovane::platform::Clock;

namespace krovane::app {

namespace {

// The path a file has on disk, links followed; empty when there is none to be had.
std::string canonical(const std::string& path) {
    std::error_code ec;
    const fs::path found = fs::weakly_canonical(fs::absolute(path, ec), ec);
    return ec ? std::string() : found.string();
}

bool inside(const fs::path& file, const fs::path& folder) {
    const fs::path relative = file.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

}  // namespace

LevelWatch::LevelWatch(Krovane& engine, std::unique_ptr<krovane::platform::FileWatcher> watcher, ModelLevel* model,
                       fs::path modelFile)
    : engine_(engine),
      watcher_(std::move(watcher)),
      model_(model),
      modelFile_(std::move(modelFile)),
      lastPoll_(Clock::ticks()) {
    refresh();
}

void LevelWatch::refresh() {
    std::vector<std::pair<FileSource, unsigned>> sources;
    const auto add = [&](std::vector<FileSource>& found, unsigned kind) {
        for (FileSource& f : found) sources.emplace_back(std::move(f), kind);
        found.clear();
    };
    std::vector<FileSource> found;
    if (model_ != nullptr) {
        found.push_back({modelFile_.string(), modelFile_.string()});
        add(found, kModel);
    } else {
        found.push_back({fileKey(Krovane::kLevelFile), Krovane::kLevelFile});
        add(found, kLevel);
    }
    if (engine_.effectManager() != nullptr) engine_.effectManager()->sourceFiles(found);
    add(found, kEffect);
    if (engine_.objectManager() != nullptr) engine_.objectManager()->sourceFiles(found);
    add(found, kObject);

    // A level made for a model is the viewer's own: only what lies outside it is the user's.
    std::error_code ec;
    const fs::path ownFolder = model_ != nullptr ? fs::canonical(engine_.root(), ec) : fs::path();
    std::unordered_map<std::string, Watched> files;
    std::vector<fs::path> folders;
    for (auto& [source, kind] : sources) {
        const std::string file = canonical(source.key);
        if (file.empty() || (kind != kModel && !ownFolder.empty() && inside(file, ownFolder))) continue;
        const auto [it, added] = files.try_emplace(file);
        Watched& w = it->second;
        if (added) {
            // A file known before keeps the stamp it was last read with: a change since is still to come.
            if (const auto known = files_.find(file); known != files_.end()) {
                w.there = known->second.there;
                w.stamp = known->second.stamp;
            } else {
                w.there = krovane::platform::fileStamp(file, w.stamp);
            }
            const fs::path folder = fs::path(file).parent_path();
            if (std::find(folders.begin(), folders.end(), folder) == folders.end() && fs::is_directory(folder, ec))
                folders.push_back(folder);
        }
        w.kinds |= kind;
        if (std::find(w.keys.begin(), w.keys.end(), source.key) == w.keys.end()) w.keys.push_back(source.key);
    }
    files_ = std::move(files);
    watcher_->watchFolders(folders);
}

std::unordered_map<std::string, unsigned> LevelWatch::watched() const {
    std::unordered_map<std::string, unsigned> out;
    for (const auto& [file, w] : files_) out[file] = w.kinds;
    return out;
}

void LevelWatch::note(const std::string& file, std::uint32_t now) {
    if (files_.count(file) == 0) return;  // not a file of the level (an editor's temporary file...)
    const auto found = std::find_if(pending_.begin(), pending_.end(), [&](const Pending& p) { return p.file == file; });
    if (found != pending_.end())
        found->lastEvent = now;
    else
        pending_.push_back({file, now});
}

void LevelWatch::poll() {
    const std::uint32_t now = Clock::ticks();
    const std::uint32_t since = lastPoll_;  // the events read now came after it
    lastPoll_ = now;
    watcher_->poll(changes_);
    if (!changes_.files.empty() || changes_.lost) {
        for (const fs::path& file : changes_.files) note(file.string(), since);
        if (changes_.lost) {
            // Anything may have changed: each file is compared with the one read, and the folders watched again.
            for (const auto& [file, w] : files_) note(file, since);
            refresh();
        }
        changes_.files.clear();
        changes_.lost = false;
    }
    if (pending_.empty()) return;

    std::vector<std::string> due;
    std::erase_if(pending_, [&](const Pending& p) {
        if (now - p.lastEvent < kSettleMilliseconds) return false;
        const auto known = files_.find(p.file);
        if (known == files_.end()) return true;  // no longer a file of the level
        Watched& w = known->second;
        krovane::platform::FileStamp stamp;
        // Deleted: it waits to be there again. The same as read: nothing to do.
        if (!krovane::platform::fileStamp(p.file, stamp) || (w.there && stamp == w.stamp)) return true;
        // The stamp before reading: a write while it is read comes as a change of its own.
        w.there = true;
        w.stamp = stamp;
        due.push_back(p.file);
        return true;
    });
    if (due.empty()) return;
    reload(due);
    refresh();
}

void LevelWatch::reload(const std::vector<std::string>& due) {
    unsigned kinds = 0;
    for (const std::string& file : due) kinds |= files_.at(file).kinds;
    // The whole level read again takes in every other change with it.
    if ((kinds & kModel) != 0 && reloadModel()) return;
    if ((kinds & kLevel) != 0 && engine_.reloadLevel()) return;
    for (const std::string& file : due) {
        const Watched& w = files_.at(file);
        if ((w.kinds & (kModel | kLevel)) != 0) continue;  // done above
        for (const std::string& key : w.keys) {
            if ((w.kinds & kEffect) != 0 && engine_.effectManager() != nullptr)
                engine_.effectManager()->reloadFile(key);
            if ((w.kinds & kObject) != 0 && engine_.objectManager() != nullptr)
                engine_.objectManager()->reloadFile(key);
        }
    }
}

bool LevelWatch::reloadModel() {
    // Made in the same folder, unless the cache cannot be written (then a new one each time).
    return LevelOpener::loadModelLevel(engine_, *model_, modelFile_);
}

}  // namespace krovane::app
