// ModelLevel: a level made to show one model file, so that `krovane MODEL`
// and `krovane-shot MODEL` need no level written by hand.
//
// The level is a folder of our own text files (ini.txt, POLYGON01,
// objects\model.DR), with the shipped effect, the stand-in textures, the
// cursor and the command base copied from the installed data
// (share/krovane/demo beside the installed program) or, run from a build,
// from the source tree's demo/. A user may copy it as a starting level.
//
// It lives in the cache (or, without one, a private temporary folder removed
// on exit), never beside the model, and is used again while the model file is
// unchanged: see ModelCache.
//
// A .x is used where it is, through a link "source" to its folder, so that
// the textures beside it are found there. Other formats are brought in as
// models\model.x (see ModelImport).
//
// The object is scaled and centred so that the model's box fits a sphere of
// kRadius units around the origin whatever the model's own size: the
// cameras' projection is fixed (depth 1 to 15000), so the model is brought
// to the cameras rather than the other way round. The level's own files are
// written by ModelLevelWriter.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "app/model_cache.h"
#include "app/model_level_writer.h"
#include "formats/x_model.h"
#include "gfx/geometry.h"
#include "platform/file_io.h"

namespace krovane::log {
class Log;
}

namespace krovane::app {

class ModelLevel {
public:
    ModelLevel() = default;
    // Removes the temporary folder, if one was made, but for its pictures.
    ~ModelLevel();
    ModelLevel(const ModelLevel&) = delete;
    ModelLevel& operator=(const ModelLevel&) = delete;

    // The radius the model is brought to, in world units.
    static constexpr float kRadius = ModelLevelWriter::kRadius;
    // The extensions opened, for messages.
    static constexpr const char* kExtensions = ".x, .gltf, .glb, .obj, .fbx, .dae";

    // How the object stands: its "_SCALE_" and "_POSITION_".
    using Framing = ModelLevelWriter::Framing;
    // The framing of a model whose box in its own space is `low` to `high`;
    // unscaled when the box is a point or too small to scale, unmoved as well
    // when it is not finite.
    static Framing frame(const krovane::gfx::Vector3& low, const krovane::gfx::Vector3& high);

    // The installed data, the demo level: share/krovane/demo beside the
    // program's bin/; else, run from a build, the source tree's demo/; empty
    // when neither is there.
    static std::filesystem::path dataFolder();

    // Whether `path` ends in one of kExtensions (any letter case).
    static bool isModelFile(const std::filesystem::path& path);

    // Makes the level for the model file `model` (an absolute path) or,
    // when the model has not changed since, finds the one made before.
    // Messages start with `program`: on stderr it says once where the level
    // is (once: again only when that changes), and that it imports when it
    // does. Called again for a changed model, it makes the level again. False, with the reason in
    // `error`, only when no folder can be had or the data is not installed;
    // a model that cannot be imported or read still makes a level (it shows
    // the log with the error, as any level does).
    bool prepare(const std::filesystem::path& model, const char* program, std::string& error);

    // Writes the level's own files (see ModelLevelWriter::write).
    static bool writeLevel(const std::filesystem::path& folder, const std::string& modelPath, const Framing& framing,
                           const std::string& about, std::string& error);

    // After the engine has started: the import's failure, if any, as an
    // Error line of its log ("[I.F] " and the reason).
    void report(krovane::log::Log& log) const;

    // The folder to work in.
    const std::filesystem::path& folder() const { return folder_; }
    // Whether prepare made the level, rather than finding it unchanged.
    bool made() const { return made_; }
    // Whether the import failed (report says why).
    bool importFailed() const { return !importFailure_.empty(); }
    // Whether the model made into the level read as a model with something
    // in it; when not, the level shows it unframed, or not at all, and
    // modelFailure says why (UTF-8: "/home/me/ship.x:8:8: face 0: ...").
    bool modelRead() const { return modelFailure_.empty(); }
    const std::string& modelFailure() const { return modelFailure_; }

    // The model file as prepare read it to frame it, for the engine's
    // resource cache (Krovane_Object_Manager::adoptModel, before the objects
    // load), so that loading the level does not read and parse it again.
    struct ParsedModel {
        std::string enginePath;  // as the level names it: "models\\model.x", "source\\ship.x"
        krovane::formats::XModel model;
        krovane::platform::FileStamp stamp;  // the file's when it was read
    };
    // The model the last prepare read, moved out; none when it did not parse,
    // when it was taken already, or when prepare found the level unchanged (it
    // reads nothing then).
    std::optional<ParsedModel> takeParsedModel();

private:
    // Makes the level in folder_ from the installed `data`, unless the one
    // there was made from the model as it is. False when it cannot be written.
    bool fill(const std::filesystem::path& model, const std::filesystem::path& data, const char* program,
              std::string& error);
    // Links the .x model into the folder; its engine path.
    std::string linkModel(const std::filesystem::path& model);
    // Reads the model file at `file` (named `enginePath` by the level) and
    // keeps it for takeParsedModel; its framing, or none, with why in
    // modelFailure_, when it cannot be read or holds nothing.
    Framing readModel(const std::filesystem::path& file, const std::string& enginePath);

    ModelCache cache_;
    std::filesystem::path folder_;
    std::filesystem::path announced_;  // the folder said on stderr
    std::string importFailure_;
    bool made_ = false;
    std::string modelFailure_;  // empty when the model read
    std::optional<ParsedModel> parsed_;
};

}  // namespace krovane::app
