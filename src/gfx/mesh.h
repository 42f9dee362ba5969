// Mesh: a static model on the device, in one vertex buffer of position,
// normal and texture coordinate and one index buffer, split into subsets (one
// per material) that are drawn one at a time. Identical vertices (same
// position, normal and texture coordinate) are kept once; each subset's
// triangles are ordered for the post-transform vertex cache (the quicker
// first-in-first-out way above a million triangles) and the vertices
// for fetching, with 16-bit indices where they fit. Triangles keep their
// corners' order, so their winding. LoadMeshFromX makes one from a .x model
// file with the model's materials, as the engine's model loading expects.
//
// A model with animation sets is welded by the model's own vertices (two
// vertices alike in the bind pose may part when posed) and keeps what poses
// it (formats::XPoser): pose() writes its vertices in a set's pose into a
// buffer made by createPoseBuffer, which DrawSubset then draws in place of
// the bind pose. The pose data is the mesh's, shared by every object that
// draws it; each object owns only its buffer.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "formats/render_values.h"
#include "gfx/device.h"
#include "gfx/device_resource.h"
#include "gfx/geometry.h"

namespace krovane::formats {
struct XModel;
struct XVertex;
}

namespace krovane::gfx {

// A material of a model file, with its texture file name exactly as the file
// writes it (empty when it names none) and how its alpha shows. The file
// gives no ambient colour.
struct ModelMaterial {
    Material material;
    std::string textureFile;
    formats::MaterialAlpha alpha;
};

class Mesh final : public DeviceResource {
public:
    // Draws subset `subset` with the device's current states: sets the mesh
    // vertex format, stream and indices and draws its triangles in one
    // indexed call. A subset past the last is kInvalidCall; an empty one
    // draws nothing.
    Result DrawSubset(std::uint32_t subset);
    // The same with `vertices` (from createPoseBuffer) in place of the mesh's own; null: its own.
    Result DrawSubset(std::uint32_t subset, VertexBuffer* vertices);

    std::uint32_t vertexCount() const { return vertexCount_; }  // distinct vertices
    // Those vertices as drawn in the bind pose (the device buffer's own copy).
    std::span<const formats::XVertex> vertices() const;
    std::uint32_t triangleCount() const { return triangleCount_; }
    // The box around every vertex, in model space.
    const Vector3& boundsMin() const { return boundsMin_; }
    const Vector3& boundsMax() const { return boundsMax_; }
    // Whether the model had a mesh without normals, whose normals were made from its faces.
    bool normalsMade() const { return normalsMade_; }
    // The model's reasons for skins and animation sets it left out (see
    // formats::XModel::warnings); whoever loads the mesh first says them.
    const std::vector<std::string>& warnings() const { return warnings_; }
    bool warningsSaid() const { return warningsSaid_; }
    void markWarningsSaid() { warningsSaid_ = true; }

    // The model's animation sets: how many, and each one's name (maybe
    // empty), length in seconds and whether it loops (see formats::XAnimationSet).
    std::size_t animationCount() const;
    const std::string& animationName(std::size_t set) const;
    double animationDuration(std::size_t set) const;
    bool animationLoops(std::size_t set) const;
    // A vertex buffer of the mesh's layout and size, for pose(); kInvalidCall
    // for a mesh without animation sets.
    Result createPoseBuffer(Ref<VertexBuffer>* buffer);
    // Writes the vertices posed by `set` at `seconds` into `into` and the box
    // around them into `low` and `high`; allocates nothing. kInvalidCall for
    // a set past the last or a buffer not of the mesh's size and layout.
    Result pose(std::size_t set, double seconds, VertexBuffer* into, Vector3& low, Vector3& high);

    // Uploads `model` to the device. Fails for a model without triangles or
    // with a corner naming a vertex it lacks (the .x reader makes neither).
    // One with animation sets is kept (copied; moved from an rvalue) for posing.
    static Result create(Device* device, const formats::XModel& model, Ref<Mesh>* mesh);
    static Result create(Device* device, formats::XModel&& model, Ref<Mesh>* mesh);

private:
    struct Animation;  // the model and its poser
    static Result make(Device* device, const formats::XModel& model, std::unique_ptr<formats::XModel> kept,
                       Ref<Mesh>* mesh);

    struct Range {
        std::uint32_t firstIndex, triangles;
    };
    Mesh(Device* device, Ref<VertexBuffer> vertices, Ref<IndexBuffer> indices, std::vector<Range> subsets,
         std::uint32_t vertexCount, std::uint32_t triangleCount);
    ~Mesh() override;

    Ref<VertexBuffer> vertices_;
    Ref<IndexBuffer> indices_;
    std::vector<Range> subsets_;
    std::uint32_t vertexCount_, triangleCount_;
    Vector3 boundsMin_, boundsMax_;
    bool normalsMade_ = false;
    bool warningsSaid_ = false;
    std::vector<std::string> warnings_;
    std::unique_ptr<Animation> animation_;  // null for a model without animation sets
};

// Loads the .x model at `path` (an engine path) onto the device: the mesh and
// one material per subset. On failure a negative result, no mesh, no
// materials, and the reason in `error` (see formats::loadXModel: "PATH:8:12:
// face 0: index 99999 out of range (3)", "PATH: no such file").
Result LoadMeshFromX(const char* path, Device* device, std::vector<ModelMaterial>& materials, Ref<Mesh>* mesh,
                     std::string* error = nullptr);
// The same for `model`, already read from the file at `path` (which names it
// in the reason): the file is not read again.
Result LoadMeshFromX(const char* path, formats::XModel&& model, Device* device,
                     std::vector<ModelMaterial>& materials, Ref<Mesh>* mesh, std::string* error = nullptr);

}  // namespace krovane::gfx
