// cacheFolder: where the engine keeps what it works out once per machine and
// may reuse on the next start (font choices), so that starting is quicker.
//
// $XDG_CACHE_HOME/krovane, else $HOME/.cache/krovane. Setting
// KROVANE_NO_CACHE (to anything) turns the cache off, as tests and
// measurements do; the folder is then empty. What is kept there is only ever
// a shortcut: a missing, damaged or stale file is ignored.
#pragma once

#include <filesystem>

namespace krovane::platform {

// The folder (not created here), or an empty path when there is none to use.
std::filesystem::path cacheFolder();

}  // namespace krovane::platform
