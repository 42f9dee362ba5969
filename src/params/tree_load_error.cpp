#include "params/tree_load_error.h"

std::string TreeLoadError::describe() const {
    std::string out = file;
    if (line != 0) out += ":" + std::to_string(line) + ":" + std::to_string(column);
    out += ": " + message;
    return out;
}
