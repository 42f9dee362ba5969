#include "platform/cache_folder.h"

#include <cerrno>
#include <cstdlib>  // getenv, mkdtemp
#include <cstring>

namespace krovane::platform {

std::filesystem::path cacheFolder() {
    if (std::getenv("KROVANE_NO_CACHE") != nullptr) return {};
    const char* xdg = std::getenv("XDG_CACHE_HOME");
    if (xdg != nullptr && xdg[0] == '/') return std::filesystem::path(xdg) / "krovane";
    const char* home = std::getenv("HOME");
    if (home != nullptr && home[0] == '/') return std::filesystem::path(home) / ".cache" / "krovane";
    return {};
}

std::filesystem::path privateTemporaryFolder(std::string& error) {
    std::error_code ec;
    std::filesystem::path base = std::filesystem::temp_directory_path(ec);
    if (ec) base = "/tmp";
    std::string name = (base / "krovane-XXXXXX").string();
    // mkdtemp makes the folder with mode 0700 under a name nobody had.
    if (mkdtemp(name.data()) == nullptr) {
        error = "cannot make a folder in " + base.string() + ": " + std::strerror(errno);
        return {};
    }
    return name;
}

}  // namespace krovane::platform
