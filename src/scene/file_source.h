// FileSource: a file the scene was made from, and what reloading it did, for
// a viewer that reloads what changes on disk (krovane --watch).
//
// A file is named twice: by its key, the path it resolves to on disk (see
// platform::PathResolver), which is how the resource cache keys what it read
// and how a changed file is matched; and by its engine path as the level
// wrote it, which is how the log names it.
//
// Each reload prints one line naming the file: the Comment "[i] Reloaded:
// PATH" when the new copy replaced the old, else the Error "[R.F] not
// reloaded, kept as it was: PATH" after the loaders' usual error lines; what
// was shown before stays until a later change loads.
#pragma once

#include <string>
#include <string_view>

namespace krovane::scene {

struct FileSource {
    std::string key;         // the path on disk
    std::string enginePath;  // as the level names it (code page 1251, backslashes)
    bool operator==(const FileSource&) const = default;
};

// The key of the file an engine path names.
std::string fileKey(std::string_view enginePath);

enum class ReloadOutcome {
    NotUsed,   // nothing was made from that file
    Reloaded,  // what was made from it was made again and replaced the old
    Failed,    // it did not load; the old is kept
};

constexpr const char* kReloadedLine = "[i] Reloaded: ";
constexpr const char* kNotReloadedLine = "[R.F] not reloaded, kept as it was: ";

}  // namespace krovane::scene
