// Whole-file reading, atomic writing for the engine's text files, and
// writing under a free name for the pictures it saves.
//
// Files are read whole into memory (they are parsed in one pass) with a size
// limit checked before anything is allocated. Writing goes to a temporary file
// beside the target, which is flushed to disk and then renamed over the
// target, so a crash or a full disk never leaves half a file behind: the old
// file stays until the new one is complete.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace krovane::platform {

enum class ReadStatus {
    Ok,
    Missing,     // no such file
    TooLarge,    // larger than the limit given; nothing was allocated
    ReadFailed,  // there but not to be read (no permission, a directory, an I/O error)
};

// What a file is on disk, enough to tell that it changed since it was read:
// its size and modification time (nanoseconds since 1970), which copies that
// keep times (cp -p, rsync -t, tar) carry over, and so also which file it is
// (device and inode: a file replaced by another) and when its status last
// changed (which no program can set back: a file rewritten in place).
struct FileStamp {
    std::uint64_t size = 0;
    std::int64_t modified = 0;
    std::uint64_t device = 0, inode = 0;
    std::int64_t changed = 0;
    bool operator==(const FileStamp&) const = default;
};

// The stamp of the regular file at `path` (links followed), in one call to the
// system; false when there is no such file.
bool fileStamp(const std::filesystem::path& path, FileStamp& stamp);

// Reads the whole file into `out`. On failure `out` is empty.
ReadStatus readWholeFile(const std::filesystem::path& path, std::string& out, std::uint64_t maxBytes);

// Writes `content` to a new file at `path`, made only if no file (nor link)
// has that name, so that nothing is ever replaced, not even by a program
// writing beside this one. Exists: the name is taken. Failed: the file could
// not be made or written (errno says why; nothing is left behind).
enum class NewFile { Written, Exists, Failed };
NewFile writeNewFile(const std::filesystem::path& path, std::string_view content);

// Writes `content` to a new file named `stem` + `extension` or, while a file
// of that name is there, `stem` + "_2" + `extension`, "_3"...: never over a
// file that exists, even one made meanwhile by another program, since each
// name is taken by creating the file only if it is not there. Returns the
// path written, or an empty path when none could be (the folder cannot be
// written, the disk is full: nothing is left behind).
std::filesystem::path writeToFreeName(const std::filesystem::path& stem, std::string_view extension,
                                      std::string_view content);

// Replaces the file at `path` with `content` atomically. Returns false (and
// leaves any existing file untouched) when it cannot be written, for example
// because the folder does not exist.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view content);

}  // namespace krovane::platform
