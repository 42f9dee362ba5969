// Mesh: a static model on the device, in one vertex buffer of position,
// normal and texture coordinate, split into subsets (one per material) that
// are drawn one at a time. LoadMeshFromX makes one from a .x model file with
// the model's materials, as the engine's model loading expects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/device.h"
#include "gfx/device_resource.h"

namespace krovane::gfx {

struct XModel;

// A material of a model file, with its texture file name exactly as the file
// writes it (empty when it names none). The file gives no ambient colour.
struct ModelMaterial {
    Material material;
    std::string textureFile;
};

class Mesh final : public DeviceResource {
public:
    // Draws subset `subset` with the device's current states: sets the mesh
    // vertex format and stream and draws its triangles in one call. A subset
    // past the last is kInvalidCall; an empty one draws nothing.
    Result DrawSubset(std::uint32_t subset);

    std::uint32_t subsetCount() const { return static_cast<std::uint32_t>(subsets_.size()); }
    std::uint32_t vertexCount() const { return vertexCount_; }
    std::uint32_t triangleCount() const { return vertexCount_ / 3; }

    // Uploads `model` to the device. Fails for a model without triangles.
    static Result create(Device* device, const XModel& model, Mesh** mesh);

private:
    struct Range {
        std::uint32_t firstVertex, triangles;
    };
    Mesh(Device* device, VertexBuffer* buffer, std::vector<Range> subsets, std::uint32_t vertexCount);
    ~Mesh() override;

    VertexBuffer* buffer_;
    std::vector<Range> subsets_;
    std::uint32_t vertexCount_;
};

// Loads the .x model at `path` (an engine path) onto the device: the mesh and
// one material per subset. On failure a negative result, no mesh, no
// materials, and the reason on stderr ("model: PATH: ...") and in `error`.
Result LoadMeshFromX(const char* path, Device* device, std::vector<ModelMaterial>& materials, Mesh** mesh,
                     std::string* error = nullptr);

}  // namespace krovane::gfx
