// ModelCache: where the level made for a model file is kept, and whether the
// level there is still the one for the model as it is.
//
// A model's level lives in the cache, $XDG_CACHE_HOME/krovane/models/NAME-HASH
// (one folder per model path), so that LOG.dr and everything else written
// goes there, never beside the model. With the cache off (KROVANE_NO_CACHE,
// or no home) or where it cannot be written, a private temporary folder of
// this run's own is used instead, and removed with the ModelCache (on exit),
// so that no run leaves one behind; only the pictures taken there (.png) are
// kept, and then the folder too.
//
// A file "stamp" in the folder names the model file's size, time, inode and
// status-change time: while they are the same, the level (and an imported
// copy) is used again as it is; a copy with the same size and time (cp -p) is
// another file.
#pragma once

#include <filesystem>
#include <string>

namespace krovane::app {

class ModelCache {
public:
    ModelCache() = default;
    // Removes the temporary folder, if one was made, but for its pictures.
    ~ModelCache();
    ModelCache(const ModelCache&) = delete;
    ModelCache& operator=(const ModelCache&) = delete;

    // The cache folder of the model at `model` (an absolute path), not made
    // here: its name and a hash of its whole path. Empty when there is no cache.
    static std::filesystem::path cachedFolder(const std::filesystem::path& model);

    // This run's private temporary folder, made on the first call; `program`
    // starts the message that says where pictures were kept. Empty, with the
    // reason in `error`, when none can be made.
    const std::filesystem::path& temporaryFolder(const char* program, std::string& error);
    // The temporary folder made, if any.
    const std::filesystem::path& temporary() const { return temporary_; }

    // What the stamp file says of the model file `model` as it is now.
    static std::string stampOf(const std::filesystem::path& model);
    // Whether the stamp file in `folder` says `stamp`.
    static bool stamped(const std::filesystem::path& folder, const std::string& stamp);
    // Writes `stamp` as the stamp file of `folder`, or removes it (an empty
    // stamp) while the level there is being made.
    static void setStamp(const std::filesystem::path& folder, const std::string& stamp);

private:
    std::filesystem::path temporary_;
    std::string program_;  // the program's name, for messages
};

}  // namespace krovane::app
