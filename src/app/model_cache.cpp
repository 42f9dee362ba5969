// The cache folder of a model's level, its stamp, and the temporary folder used without a cache.
#include "app/model_cache.h"

#include <cctype>
#include <cstdint>
#include <cstdio>

#include "platform/cache_folder.h"
#include "platform/file_io.h"

namespace fs = std::filesystem;

namespace krovane::app {

namespace {

// Raised when what the level is made of changes (the level's files, or how
// krovane-import converts: 2 made the normals a model lacks keep its hard
// edges; 3 wrote the level files from parameter trees; 4 keeps the
// materials' alpha and draws the model through krovane_model.fx; 5 imports
// binary .x with skins and animations), so that old levels and imported
// copies are made again.
constexpr const char* kStampHeader = "krovane model level 6";

}  // namespace

fs::path ModelCache::cachedFolder(const fs::path& model) {
    const fs::path cache = krovane::platform::cacheFolder();
    if (cache.empty()) return {};
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : model.string()) hash = (hash ^ c) * 1099511628211ull;
    char hex[17];
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    std::string stem = model.stem().string().substr(0, 40);
    return cache / "models" / (stem + "-" + hex);
}

const fs::path& ModelCache::temporaryFolder(const char* program, std::string& error) {
    program_ = program;
    if (temporary_.empty()) temporary_ = krovane::platform::privateTemporaryFolder(error);
    return temporary_;
}

std::string ModelCache::stampOf(const fs::path& model) {
    krovane::platform::FileStamp stamp;
    krovane::platform::fileStamp(model, stamp);
    return std::string(kStampHeader) + "\n" + model.string() + "\n" + std::to_string(stamp.size) + " " +
           std::to_string(stamp.modified) + " " + std::to_string(stamp.inode) + " " + std::to_string(stamp.changed) +
           "\n";
}

bool ModelCache::stamped(const fs::path& folder, const std::string& stamp) {
    std::string text;
    krovane::platform::readWholeFile(folder / "stamp", text, 1 << 16);
    return text == stamp;
}

void ModelCache::setStamp(const fs::path& folder, const std::string& stamp) {
    std::error_code ec;
    if (stamp.empty())
        fs::remove(folder / "stamp", ec);
    else
        krovane::platform::writeFileAtomically(folder / "stamp", stamp);
}

ModelCache::~ModelCache() {
    // All but the pictures taken there: a folder that still holds some stays, and says so.
    std::error_code ec;
    if (temporary_.empty()) return;
    bool pictures = false;
    for (const fs::directory_entry& entry : fs::directory_iterator(temporary_, ec)) {
        std::string extension = entry.path().extension().string();
        for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool picture = entry.is_regular_file(ec) && extension == ".png";
        if (!picture) fs::remove_all(entry.path(), ec);
        pictures = pictures || picture;
    }
    if (!pictures)
        fs::remove(temporary_, ec);
    else
        std::fprintf(stderr, "%s: the pictures taken are kept in %s\n", program_.c_str(), temporary_.string().c_str());
}

}  // namespace krovane::app
