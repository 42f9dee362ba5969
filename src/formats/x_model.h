// XModel: a DirectX .x model file as one indexed triangle mesh, ready for a
// vertex and an index buffer.
//
// Reads text, binary and compressed (MSZIP) files with 32- or 64-bit floats.
// Every Mesh in the file is merged into one, with the transforms of the frames
// around it applied, polygons split into triangle fans and triangles grouped
// by material, one subset per material; normals are made where a mesh has
// none. A material may hold our own template KrovaneAlpha { MODE; CUTOFF; }
// (MODE 0 opaque, 1 mask, 2 blend; CUTOFF from 0 up), which other readers
// skip as they skip any template they do not know. Data a viewer does not
// draw is skipped.
//
// The vertices are the bind pose. Beside them the model keeps what moves
// them (see XPoser): the frame hierarchy, which vertices each mesh gave and
// under which frame, the meshes' skins (SkinWeights) and the animation sets
// (AnimationSet, Animation, AnimationKey, AnimationOptions,
// AnimTicksPerSecond). A skin or a set that does not fit the model (an
// index out of range, a bone or an animation naming no frame, keys out of
// time order or of the wrong size) is left out with a warning; the model
// still loads, and such a mesh stays in its bind pose.
//
// Every count and index is checked against the file: a damaged or hostile
// file fails with a one-line reason, never reads past its bytes, and a count
// larger than the rest of the file could hold is refused before anything is
// allocated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
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

inline constexpr std::uint32_t kXNoFrame = 0xFFFFFFFFu;

// Matrices are row-major for row vectors (p' = p * M), as in the file.
struct XFrame {
    std::string name;                                                    // may be empty
    std::uint32_t parent = kXNoFrame;                                    // a parent comes before its children
    float local[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // its FrameTransformMatrix
};

// A bone of a skin: a frame and the model vertices it moves, with their weights
// as the file gives them (XPoser makes each vertex's weights sum to 1).
struct XBone {
    std::uint32_t frame = kXNoFrame;
    float offset[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};  // from the mesh's own space into the bone's
    std::vector<std::uint32_t> vertices;                                  // indices into XModel::vertices
    std::vector<float> weights;
};

// The vertices one Mesh of the file gave, [firstVertex, firstVertex + vertexCount),
// and the frame it sits in (kXNoFrame at the top of the file). With bones the
// mesh is skinned and the bones alone move it; without, it moves with its frame.
struct XMeshPart {
    std::uint32_t firstVertex = 0;
    std::uint32_t vertexCount = 0;
    std::uint32_t frame = kXNoFrame;
    std::vector<XBone> bones;
};

// The keys of one kind on one frame: times in ticks, ascending, and
// `valuesEach` values per key (rotation 4: w x y z; scale 3; position 3; matrix 16).
struct XKeys {
    std::vector<float> times;
    std::vector<float> values;
};

struct XTrack {
    std::uint32_t frame = kXNoFrame;
    XKeys rotation, scale, position, matrix;
};

struct XAnimationSet {
    std::string name;
    // Closed sets (AnimationOptions 0, and sets without options) loop; a set
    // with any open animation (1) holds its last keys.
    bool looping = true;
    float firstTick = 0, lastTick = 0;  // over all its keys
    std::vector<XTrack> tracks;
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

    std::vector<XFrame> frames;
    std::vector<XMeshPart> meshes;
    std::vector<XAnimationSet> animationSets;
    float ticksPerSecond = 4800;  // AnimTicksPerSecond; 4800 without one
    // Skins and sets left out, one line each with its place and reason:
    // "40:9: bone 2: vertex 30 out of range (24) (skin of mesh \"Cube\" left out)".
    std::vector<std::string> warnings;
};

// Limits on what one model may hold: models of tens of millions of triangles
// load, while a hostile file cannot make the loader ask for more than a few
// GiB (64 Mi vertices are 2 GiB). A model past one fails with a message
// naming it; one that passes them all but finds too little memory fails with
// "not enough memory to load it".
inline constexpr std::size_t kXMaxVertices = 64u << 20;
inline constexpr std::size_t kXMaxTriangles = 64u << 20;
inline constexpr std::size_t kXMaxMaterials = 65536;
// Also the limit on decompressed data. 2 GiB of binary .x hold some 40 million triangles.
inline constexpr std::size_t kXMaxFileBytes = std::size_t{1} << 31;

// Parses a whole .x file held in memory. On failure returns false, leaves
// `model` empty and sets `error` to a one-line reason that says where
// ("12:5: expected '{'", line and column, in text files and the header;
// "byte 345: truncated integer list" in binary ones).
bool parseXModel(const std::uint8_t* data, std::size_t size, XModel& model, std::string& error);

// Reads the file at an engine path (see platform::PathResolver) and parses it.
// Messages start with the path as given: "PATH:12:5: expected '{'", "PATH:
// byte 345: ...", "PATH: no such file", "PATH: cannot be read".
bool loadXModel(const std::string& enginePath, XModel& model, std::string& error);
// The same for the file at `file`, named `named` in the messages.
bool loadXModelFile(const std::filesystem::path& file, const std::string& named, XModel& model, std::string& error);

}  // namespace krovane::formats
