// ModelLevelWriter: the level files of a level made to show one model:
// ini.txt (the start-up settings), POLYGON01 (four cameras, one light, the
// shipped effect that shows the model's alpha, fx\krovane_model.fx, and the
// one object, scaled and placed) and
// objects\model.DR (the model file and its effect).
//
// Each is built as a parameter tree, the form the engine reads it into, and
// written from it (POLYGON01 and model.DR by the tree writer, which quotes
// what must be, so that any model path reads back as it is), under a comment
// that says what the file is.
//
// The cameras stand kRadius / sin(half the field of view) units from the
// origin, with room to spare, and look at it: from the front (-z), the side
// (+x), the top and three-quarters; the light stands with the front camera.
// A sphere of kRadius around the origin fills most of each view, so the
// object is framed to fit it.
#pragma once

#include <filesystem>
#include <string>

#include "gfx/geometry.h"

namespace krovane::app {

class ModelLevelWriter {
public:
    // The radius the model is brought to, in world units.
    static constexpr float kRadius = 100.0f;

    // How the object stands: its "_SCALE_" and "_POSITION_", which bring the
    // model within kRadius of the origin.
    struct Framing {
        float scale = 1.0f;
        krovane::gfx::Vector3 position;
    };

    // Writes ini.txt, POLYGON01 and objects\model.DR into `folder` for the
    // model at `modelPath` (an engine path, relative to the folder) framed
    // by `framing`; `about` names the model in the files' comments. False,
    // with why in `error`, when they cannot be written.
    static bool write(const std::filesystem::path& folder, const std::string& modelPath, const Framing& framing,
                      const std::string& about, std::string& error);
};

}  // namespace krovane::app
