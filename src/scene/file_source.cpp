// Naming a file the scene was made from.
#include "scene/file_source.h"

#include "platform/path_resolver.h"

namespace krovane::scene {

std::string fileKey(std::string_view enginePath) {
    return krovane::platform::PathResolver::resolve(enginePath).string();
}

}  // namespace krovane::scene
