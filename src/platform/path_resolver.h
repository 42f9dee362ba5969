// PathResolver: turns a path as the engine writes it (code page 1251, with
// backslashes, possibly in another letter case than the files on disk) into a
// path the operating system opens.
//
// Level content is often written on a case-insensitive file system, so
// "Textures\Stone.BMP" must find "textures/stone.bmp". Rules:
//   - backslashes become slashes and the bytes are converted to UTF-8;
//   - when that exact path exists it is used as it is;
//   - otherwise each component is matched in its directory, exactly first,
//     then ignoring letter case (Latin and Cyrillic); the first component that
//     matches nothing is kept as written, with the rest after it, so a path to
//     a file not yet created still resolves for writing.
// A relative path resolves against the level's root folder, set once by the
// engine's start-up (setRoot), never against whatever the process's current
// folder happens to be; with no root set (tools and tests that work in a
// folder of their own) the current folder is the root. Set the root only
// while no file is being resolved.
// Messages shown to the user keep the path as the engine wrote it.
#pragma once

#include <filesystem>
#include <string_view>

namespace krovane::platform {

class PathResolver {
public:
    // Resolves an engine path (code page 1251). Never throws.
    static std::filesystem::path resolve(std::string_view enginePath);
    // The folder relative engine paths resolve against from now on (made
    // absolute); empty: the current folder.
    static void setRoot(const std::filesystem::path& root);
    static const std::filesystem::path& root();
};

}  // namespace krovane::platform
