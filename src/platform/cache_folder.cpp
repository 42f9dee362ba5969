#include "platform/cache_folder.h"

#include <cstdlib>

namespace krovane::platform {

std::filesystem::path cacheFolder() {
    if (std::getenv("KROVANE_NO_CACHE") != nullptr) return {};
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::filesystem::path(xdg) / "krovane";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::filesystem::path(home) / ".cache" / "krovane";
    return {};
}

}  // namespace krovane::platform
