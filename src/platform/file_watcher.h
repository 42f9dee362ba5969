// FileWatcher: which files in a set of folders were written, replaced or
// touched since it was last asked, without waiting (krovane --watch).
//
// A file counts as changed when a program closes it after writing, moves or
// renames it into a watched folder (editors that save through a temporary
// file, atomic replacement), or changes its times or permissions (cp -p,
// touch). A file deleted is not a change: it is reported when it is there
// again. The events of one save often come in several steps (cp -p writes,
// then sets the times); the caller lets them settle.
//
// On Linux it is inotify on the folders, read through a non-blocking
// descriptor, so asking costs one system call and allocates nothing while
// nothing happened. Where inotify is absent (another system, or its limits
// reached) create() gives a watcher that reports nothing, with the reason.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace krovane::platform {

class FileWatcher {
public:
    // What poll found since the last call.
    struct Changes {
        // Each changed file as its watched folder (as given) joined with its
        // name; a file may come more than once.
        std::vector<std::filesystem::path> files;
        // Events were lost (the system's queue overflowed) or a watched
        // folder went away: any watched file may have changed.
        bool lost = false;
    };

    // The system's watcher, or null with the reason in `error`.
    static std::unique_ptr<FileWatcher> create(std::string& error);

    virtual ~FileWatcher() = default;
    FileWatcher(const FileWatcher&) = delete;
    FileWatcher& operator=(const FileWatcher&) = delete;

    // From now on watches exactly `folders` (others are dropped). Give each
    // folder once, by its canonical path: two names of one folder are one
    // watch, reported under the last name given. False when some cannot be
    // watched (missing, not a folder, no permission, the system's limit of
    // watches reached); the others are. Each folder that cannot be watched is
    // reported once (platform/reporter.h), with the reason: "watch: cannot
    // watch FOLDER (REASON); changes there are not seen".
    virtual bool watchFolders(const std::vector<std::filesystem::path>& folders) = 0;
    // Adds what changed since the last call to `into`; never waits.
    virtual void poll(Changes& into) = 0;

protected:
    FileWatcher() = default;
};

}  // namespace krovane::platform
