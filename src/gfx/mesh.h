// Mesh: a static model on the device, in one vertex buffer of position,
// normal and texture coordinate and one index buffer, split into subsets (one
// per material) that are drawn one at a time. Identical vertices (same
// position, normal and texture coordinate) are kept once; each subset's
// triangles are ordered for the post-transform vertex cache and the vertices
// for fetching, with 16-bit indices where they fit. Triangles keep their
// corners' order, so their winding. LoadMeshFromX makes one from a .x model
// file with the model's materials, as the engine's model loading expects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/render_values.h"
#include "gfx/device.h"
#include "gfx/device_resource.h"
#include "gfx/geometry.h"

namespace krovane::formats {
struct XModel;
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

    std::uint32_t vertexCount() const { return vertexCount_; }  // distinct vertices
    std::uint32_t triangleCount() const { return triangleCount_; }
    // The box around every vertex, in model space.
    const Vector3& boundsMin() const { return boundsMin_; }
    const Vector3& boundsMax() const { return boundsMax_; }
    // Whether the model had a mesh without normals, whose normals were made from its faces.
    bool normalsMade() const { return normalsMade_; }

    // Uploads `model` to the device. Fails for a model without triangles.
    static Result create(Device* device, const formats::XModel& model, Ref<Mesh>* mesh);

private:
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
};

// Loads the .x model at `path` (an engine path) onto the device: the mesh and
// one material per subset. On failure a negative result, no mesh, no
// materials, and the reason in `error` (see formats::loadXModel: "PATH:8:12:
// face 0: index 99999 out of range (3)", "PATH: no such file").
Result LoadMeshFromX(const char* path, Device* device, std::vector<ModelMaterial>& materials, Ref<Mesh>* mesh,
                     std::string* error = nullptr);
// The same for `model`, already read from the file at `path` (which names it
// in the reason): the file is not read again.
Result LoadMeshFromX(const char* path, const formats::XModel& model, Device* device,
                     std::vector<ModelMaterial>& materials, Ref<Mesh>* mesh, std::string* error = nullptr);

}  // namespace krovane::gfx
