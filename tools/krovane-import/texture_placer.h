// TexturePlacer: gives each texture of an imported model a file in the folder
// of the .x, without ever replacing a file that is there. A texture whose name
// is free is written under it; one whose name holds the same bytes already
// reuses that file; one whose name holds something else (another model's
// texture, or another texture of this model with the same file name) is
// written under a name made from the model's: MODEL_wood.png, then
// MODEL_wood_2.png and on.
//
// Names are in the engine's code page, as the .x writes them; the files are
// named in UTF-8.
#pragma once

#include <filesystem>
#include <set>
#include <string>

namespace krovane::import {

class TexturePlacer {
public:
    // `model` is the name the .x is written under, without its extension.
    TexturePlacer(std::filesystem::path folder, std::string model);

    // Writes `bytes` (the texture `source` names, for messages) under `name`
    // or the first free name after it, and returns the name used; empty when
    // none could be written. What a user should know goes to `notes`, one line
    // each.
    std::string place(const std::string& name, const std::string& bytes, const std::string& source, std::string& notes);

    // The texture files the .x names, each counted once.
    std::size_t count() const { return used_.size(); }

private:
    enum class Outcome { Written, Same, Taken, Failed };
    Outcome writeOnce(const std::filesystem::path& file, const std::string& bytes, std::string& why) const;

    std::filesystem::path folder_;
    std::string model_;
    std::set<std::string> used_;
};

}  // namespace krovane::import
