// Whole-file reading and atomic writing for the engine's text files.
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
    Missing,     // no such file, or it cannot be opened
    TooLarge,    // larger than the limit given; nothing was allocated
    ReadFailed,  // an error while reading (a directory, an I/O error)
};

// Reads the whole file into `out`. On failure `out` is empty.
ReadStatus readWholeFile(const std::filesystem::path& path, std::string& out, std::uint64_t maxBytes);

// Replaces the file at `path` with `content` atomically. Returns false (and
// leaves any existing file untouched) when it cannot be written, for example
// because the folder does not exist.
bool writeFileAtomically(const std::filesystem::path& path, std::string_view content);

}  // namespace krovane::platform
