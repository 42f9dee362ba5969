// TreeLoadError: why loading a parameter-tree file failed, and where.
#pragma once

#include <string>

// Why the last load left the tree empty, and where in the file.
namespace krovane::params {

struct TreeLoadError {
    enum class Kind {
        None,        // the last load succeeded (or nothing was loaded yet)
        Missing,     // the file does not exist or cannot be opened
        Unreadable,  // a read error, a directory, or a file over the size limit
        Malformed,   // the text does not follow the format
    };
    Kind kind = Kind::None;
    std::string file;     // the path as the caller gave it
    unsigned line = 0;    // 1-based; 0 when not about a place in the text
    unsigned column = 0;  // 1-based, in bytes
    std::string message;  // what is wrong, in English

    // "FILE:LINE:COLUMN: message", or "FILE: message" without a place.
    std::string describe() const;
};

}  // namespace krovane::params
