// ModelImport: brings a model of another format (.gltf, .glb, .obj, .fbx,
// .dae) into a level's folder as models\model.x, with its textures beside it,
// by running krovane-import as a child process (found beside the running
// program, in the build's tools folder, or on PATH).
#pragma once

#include <filesystem>
#include <string>

namespace krovane::app {

class ModelImport {
public:
    // The engine path of the imported model, in the level's folder.
    static constexpr const char* kEnginePath = "models\\model.x";

    // krovane-import: beside the running program, in the build's tools folder, else on PATH.
    static std::filesystem::path tool();

    // Imports `model` into `folder`, in place of an earlier import, saying so
    // on stderr (starting with `program`) and passing on what the tool says.
    // False when it failed, with its last line that says something (else
    // "TOOL failed") in `failure`: then no import is left.
    static bool run(const std::filesystem::path& model, const std::filesystem::path& folder, const char* program,
                    std::string& failure);
};

}  // namespace krovane::app
