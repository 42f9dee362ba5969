// convertModel: reads a model with the import library and writes it as a .x
// file (binary, or text for people) in the engine's left-handed, y-up
// coordinates (front faces clockwise), its textures beside it. A model
// without skins or animations has its node transforms applied to its
// vertices; one with them keeps its nodes as frames, its meshes inside them,
// with their skins (SkinWeights) and its animations as animation sets. It runs in the
// import's child process: the library may crash or hang on a damaged file.
// A mesh without normals gets them made, smoothed only across edges where its
// faces meet at less than kCreaseDegrees. A glTF material's alphaMode and
// alphaCutoff go into the material as our template KrovaneAlpha (see
// formats/x_model.h); textures keep their alpha, copied as they are.
#pragma once

#include <filesystem>
#include <string>

namespace krovane::import {

// The angle between two faces' normals up to which the normals made smooth
// the edge between them; at a sharper edge each face keeps its own.
constexpr double kCreaseDegrees = 60;

struct Conversion {
    std::string model;               // the file to read
    std::filesystem::path outPath;   // OUT.x: its folder takes the textures, its stem names them
    std::filesystem::path partPath;  // the file the .x is written to
    double scale = 1;                // every coordinate is multiplied by it...
    double fitSize = 0;              // ...or, above 0, the largest side of the bounds becomes this
    bool text = false;               // the text form of .x rather than the binary one
};

// 0 on success, with `report` holding a first line of what was written
// ("3 meshes, 6 triangles, 1 textures", then ", 2 animation sets" for a
// model that moves) and then one line for each thing a
// user should know; otherwise `report` is the reason.
int convertModel(const Conversion& job, std::string& report);

}  // namespace krovane::import
