// XModel: a DirectX .x model file as one indexed triangle mesh, ready for a
// vertex and an index buffer.
//
// Reads text, binary and compressed (MSZIP) files with 32- or 64-bit floats.
// Every Mesh in the file is merged into one, with the transforms of the frames
// around it applied, polygons split into triangle fans and triangles grouped
// by material, one subset per material; normals are made where a mesh has
// none. A material may hold our own template KrovaneAlpha { MODE; CUTOFF; }
// (MODE 0 opaque, 1 mask, 2 blend; CUTOFF from 0 up), which other readers
// skip as they skip any template they do not know. Animation, skinning and any other
// data a static viewer does not draw are skipped.
//
// Every count and index is checked against the file: a damaged or hostile
// file fails with a one-line reason, never reads past its bytes, and a count
// larger than the rest of the file could hold is refused before anything is
// allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/render_values.h"

namespace krovane::formats {

struct XMaterial {
    ColorValue diffuse{1, 1, 1, 1};
    float power = 0;
    ColorValue specular{0, 0, 0, 0};
    ColorValue emissive{0, 0, 0, 0};
    std::string textureFile;  // as written in the file; empty when none
    MaterialAlpha alpha;      // from a KrovaneAlpha inside the material; opaque without one
};

struct XVertex {
    float position[3];
    float normal[3];  // made from the faces when the mesh has none (see XModel::normalsMade)
    float uv[2];      // zeros when the mesh has none
};
static_assert(sizeof(XVertex) == 32, "XVertex is laid out for a vertex buffer");

struct XSubset {
    std::uint32_t firstTriangle;
    std::uint32_t triangleCount;  // 0 for a material no face uses
};

struct XModel {
    std::vector<XVertex> vertices;
    std::vector<std::uint32_t> indices;  // 3 per triangle, triangles grouped by subset in order
    std::vector<XMaterial> materials;    // one per subset, same order
    std::vector<XSubset> subsets;
    // A mesh of the file had no normals: each of its vertices got the sum of
    // the faces it is a corner of, each weighted by its area, made unit
    // length (0 where they cancel out), so that faces sharing a vertex round
    // over it and faces with vertices of their own stay flat.
    bool normalsMade = false;
};

// Limits on what one model may hold, so a hostile file cannot take all memory.
inline constexpr std::size_t kXMaxVertices = 16u << 20;
inline constexpr std::size_t kXMaxTriangles = 16u << 20;
inline constexpr std::size_t kXMaxMaterials = 65536;
inline constexpr std::size_t kXMaxFileBytes = 256u << 20;  // also the limit on decompressed data

// Parses a whole .x file held in memory. On failure returns false, leaves
// `model` empty and sets `error` to a one-line reason that says where
// ("12:5: expected '{'", line and column, in text files and the header;
// "byte 345: truncated integer list" in binary ones).
bool parseXModel(const std::uint8_t* data, std::size_t size, XModel& model, std::string& error);

// Reads the file at an engine path (see platform::PathResolver) and parses it.
// Messages start with the path as given: "PATH:12:5: expected '{'", "PATH:
// byte 345: ...", "PATH: no such file", "PATH: cannot be read".
bool loadXModel(const std::string& enginePath, XModel& model, std::string& error);

}  // namespace krovane::formats
