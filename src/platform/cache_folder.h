// cacheFolder: where the engine keeps what it works out once per machine and
// may reuse on the next start (font choices), so that starting is quicker.
//
// $XDG_CACHE_HOME/krovane, else $HOME/.cache/krovane. Setting
// KROVANE_NO_CACHE (to anything) turns the cache off, as tests and
// measurements do; the folder is then empty. What is kept there is only ever
// a shortcut: a missing, damaged or stale file is ignored.
#pragma once

#include <filesystem>
#include <string>

namespace krovane::platform {

// The folder (not created here), or an empty path when there is none to use.
std::filesystem::path cacheFolder();

// Where to write when there is no cache: a new folder that only this user
// may enter, in the system's temporary folder ($TMPDIR, else /tmp), named
// krovane-XXXXXX. Whoever asked for it removes it when done. Empty, with the
// reason in `error`, when none can be made.
std::filesystem::path privateTemporaryFolder(std::string& error);

}  // namespace krovane::platform
