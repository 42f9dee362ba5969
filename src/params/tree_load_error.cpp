#include "params/tree_load_error.h"

namespace krovane::params {

std::string TreeLoadError::describe() const {
    std::string out = file;
    if (line != 0) {
        out += ':';
        out += std::to_string(line);
        out += ':';
        out += std::to_string(column);
    }
    out += ": ";
    out += message;
    return out;
}

}  // namespace krovane::params
