// LevelOpener: what the command line or a drop on the window names, and
// opening it: a level folder, a level file (its folder), or a model file,
// shown in the level made for it (see ModelLevel).
//
// At start the program finds what it was given (find), readies it (prepare:
// a model's level is made) and starts the engine in that folder. Later a
// file or folder dropped on the window opens in place of what is shown
// (openInPlace): the engine's root moves there and its level loads again,
// with the stages of a reload and "[i] Reloaded: " naming it. One that is
// not a level or a model, whose level file or model does not read, or whose
// import fails keeps what is shown: the log says why, then
// "[R.F] not reloaded, kept as it was: " naming it.
//
// `krovane --welcome` without a file opens a copy of the installed demo
// level (welcomeFolder), in the cache, so that its LOG.dr has somewhere to go.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "app/model_level.h"

class Krovane;

namespace krovane::app {

class LevelOpener {
public:
    // What a path names: the level folder to open, or a model file (both absolute).
    struct Target {
        std::filesystem::path path;
        bool model = false;
    };

    // What `given` (UTF-8, as typed or dropped) names: a folder, a file named
    // POLYGON01 (any letter case: its folder) or a model file. False, with
    // why ("no such folder or model: ..."), for anything else.
    static bool find(const std::string& given, Target& target, std::string& why);

    // Readies `target` to be opened at start: a model's level made (see
    // ModelLevel::prepare, whose messages start with `program`). False, with
    // why, when no level can be had for it.
    bool prepare(const Target& target, const char* program, std::string& error);
    // The level folder prepare readied.
    const std::filesystem::path& folder() const { return folder_; }
    // The level made for the model opened, or null when a level folder is open.
    ModelLevel* model() const { return model_.get(); }
    // The model file opened, or empty.
    const std::filesystem::path& modelFile() const { return modelFile_; }

    // Opens `given` in place of what `engine` shows (see above). True when
    // the engine shows it now.
    bool openInPlace(Krovane& engine, const std::string& given);

    // The level for the model file `modelFile` made (again) by `model` and
    // loaded into `engine` in place of its level, the model read once; on
    // any failure what is shown stays, the log saying why. LevelWatch calls
    // it when the model file changes.
    static bool loadModelLevel(Krovane& engine, ModelLevel& model, const std::filesystem::path& modelFile);

    // A copy of the installed demo level that may be written to (in the
    // cache, else in a temporary folder removed on exit), made or brought up
    // to date; empty, with why, when there is none.
    std::filesystem::path welcomeFolder(std::string& error);
    // The line the welcome level's log gets after its start (short enough to stay one line of the log).
    static constexpr const char* kWelcomeLine = "Drop a model file or a level folder on the window to open it.";

private:
    std::unique_ptr<ModelLevel> model_;
    std::filesystem::path modelFile_;
    std::filesystem::path folder_;
    ModelCache welcomeCache_;  // its temporary folder, when the cache cannot take the welcome level
};

}  // namespace krovane::app
