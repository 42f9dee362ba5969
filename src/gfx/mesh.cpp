#include "gfx/mesh.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cstring>

#include "formats/x_model.h"
#include "gfx/index_buffer.h"
#include "gfx/vertex_buffer.h"

namespace krovane::gfx {

namespace {

constexpr std::uint32_t kMeshFvf = kFvfXyz | kFvfNormal | kFvfTex1;
constexpr std::uint32_t kStride = 32;

}  // namespace

Mesh::Mesh(Device* device, Ref<VertexBuffer> vertices, Ref<IndexBuffer> indices, std::vector<Range> subsets,
           std::uint32_t vertexCount, std::uint32_t triangleCount)
    : DeviceResource(device),
      vertices_(std::move(vertices)),
      indices_(std::move(indices)),
      subsets_(std::move(subsets)),
      vertexCount_(vertexCount),
      triangleCount_(triangleCount) {}

Mesh::~Mesh() = default;

namespace {

// Fills a new buffer of the device through Lock and Unlock.
template <class Buffer>
Result fill(Buffer* buffer, const void* data, std::size_t bytes) {
    void* out = nullptr;
    if (failed(buffer->Lock(0, 0, &out, 0))) return kFail;
    std::memcpy(out, data, bytes);
    return buffer->Unlock();
}

}  // namespace

Result Mesh::create(Device* device, const formats::XModel& model, Ref<Mesh>* mesh) {
    if (device == nullptr || mesh == nullptr) return kInvalidCall;
    *mesh = nullptr;
    const std::size_t corners = model.indices.size();
    if (corners == 0 || corners % 3 != 0 || corners * kStride > 0xFFFFFFFFu) return kInvalidCall;

    // Every corner with its own vertex, subset after subset (a corner naming
    // no vertex of the model gets zeros); then identical ones are welded.
    std::vector<formats::XVertex> unwelded;
    unwelded.reserve(corners);
    std::vector<Range> ranges;
    ranges.reserve(model.subsets.size());
    for (const auto& subset : model.subsets) {
        const auto first = static_cast<std::uint32_t>(unwelded.size());
        for (std::uint64_t i = std::uint64_t{subset.firstTriangle} * 3;
             i < (std::uint64_t{subset.firstTriangle} + subset.triangleCount) * 3 && i < corners; ++i) {
            const std::uint32_t index = model.indices[i];
            unwelded.push_back(index < model.vertices.size() ? model.vertices[index] : formats::XVertex{});
        }
        ranges.push_back({first, static_cast<std::uint32_t>(unwelded.size() - first) / 3});
    }
    const std::size_t cornerCount = unwelded.size();
    static_assert(sizeof(formats::XVertex) == kStride, "a mesh vertex is the model's vertex");
    std::vector<formats::XVertex> vertices;
    std::vector<unsigned> ordered;
    if (cornerCount == 0) {
        // Subsets without triangles: a mesh that draws nothing, as the model says.
        vertices.assign(1, formats::XVertex{});
        ordered.assign(3, 0);
    } else {
        std::vector<unsigned> remap(cornerCount);
        const std::size_t welded =
            meshopt_generateVertexRemap(remap.data(), nullptr, cornerCount, unwelded.data(), cornerCount, kStride);
        vertices.resize(welded);
        meshopt_remapVertexBuffer(vertices.data(), unwelded.data(), cornerCount, kStride, remap.data());
        std::vector<unsigned> indices(cornerCount);
        meshopt_remapIndexBuffer(indices.data(), nullptr, cornerCount, remap.data());
        // Each subset's triangles in the order the vertex cache likes, then the
        // vertices in the order the triangles first use them.
        ordered.resize(cornerCount);
        for (const Range& r : ranges)
            meshopt_optimizeVertexCache(ordered.data() + r.firstIndex, indices.data() + r.firstIndex,
                                        std::size_t{r.triangles} * 3, welded);
        vertices.resize(meshopt_optimizeVertexFetch(vertices.data(), ordered.data(), cornerCount, vertices.data(),
                                                    welded, kStride));
    }
    const std::size_t used = vertices.size();

    Vector3 low{vertices[0].position[0], vertices[0].position[1], vertices[0].position[2]}, high = low;
    for (const formats::XVertex& v : vertices) {
        low = {std::min(low.x, v.position[0]), std::min(low.y, v.position[1]), std::min(low.z, v.position[2])};
        high = {std::max(high.x, v.position[0]), std::max(high.y, v.position[1]), std::max(high.z, v.position[2])};
    }

    Ref<VertexBuffer> vertexBuffer;
    Result made = device->CreateVertexBuffer(static_cast<std::uint32_t>(used * kStride), 0, kMeshFvf, kPoolDefault,
                                             &vertexBuffer);
    if (failed(made)) return made;
    if (failed(fill(vertexBuffer.get(), vertices.data(), used * kStride))) return kFail;
    const bool small = used <= 0x10000;
    Ref<IndexBuffer> indexBuffer;
    made = device->CreateIndexBuffer(static_cast<std::uint32_t>(ordered.size() * (small ? 2 : 4)), 0,
                                     small ? kFmtIndex16 : kFmtIndex32, kPoolDefault, &indexBuffer);
    if (failed(made)) return made;
    Result filled;
    if (small) {
        const std::vector<std::uint16_t> narrow(ordered.begin(), ordered.end());
        filled = fill(indexBuffer.get(), narrow.data(), narrow.size() * 2);
    } else {
        filled = fill(indexBuffer.get(), ordered.data(), ordered.size() * 4);
    }
    if (failed(filled)) return kFail;
    Ref<Mesh> result = Ref<Mesh>::adopt(new Mesh(device, std::move(vertexBuffer), std::move(indexBuffer),
                                                 std::move(ranges), static_cast<std::uint32_t>(used),
                                                 static_cast<std::uint32_t>(cornerCount / 3)));
    result->boundsMin_ = low;
    result->boundsMax_ = high;
    result->normalsMade_ = model.normalsMade;
    *mesh = std::move(result);
    return kOk;
}

Result Mesh::DrawSubset(std::uint32_t subset) {
    if (subset >= subsets_.size()) return kInvalidCall;
    const Range& r = subsets_[subset];
    if (r.triangles == 0) return kOk;
    Device* dev = device();
    if (dev->fvf() != kMeshFvf) dev->SetFVF(kMeshFvf);
    dev->SetStreamSource(0, vertices_.get(), 0, kStride);
    dev->SetIndices(indices_.get());
    return dev->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, vertexCount_, r.firstIndex, r.triangles);
}

Result LoadMeshFromX(const char* path, Device* device, std::vector<ModelMaterial>& materials, Ref<Mesh>* mesh,
                     std::string* error) {
    materials.clear();
    if (mesh) mesh->reset();
    if (path == nullptr || device == nullptr || mesh == nullptr) return kInvalidCall;
    formats::XModel model;
    std::string why;
    if (!formats::loadXModel(path, model, why)) {
        // The caller's failure line only names the file: the reason goes back to it.
        if (error) *error = why;
        return kFail;
    }
    return LoadMeshFromX(path, model, device, materials, mesh, error);
}

Result LoadMeshFromX(const char* path, const formats::XModel& model, Device* device,
                     std::vector<ModelMaterial>& materials, Ref<Mesh>* mesh, std::string* error) {
    materials.clear();
    if (mesh) mesh->reset();
    if (path == nullptr || device == nullptr || mesh == nullptr) return kInvalidCall;
    const Result made = Mesh::create(device, model, mesh);
    if (failed(made)) {
        if (error) *error = std::string(path) + ": the model has no triangles to draw";
        return made;
    }
    materials.reserve(model.materials.size());
    for (const formats::XMaterial& m : model.materials) {
        ModelMaterial out{};
        out.material.diffuse = m.diffuse;
        out.material.specular = m.specular;
        out.material.emissive = m.emissive;
        out.material.power = m.power;
        out.textureFile = m.textureFile;
        out.alpha = m.alpha;
        materials.push_back(std::move(out));
    }
    return kOk;
}

}  // namespace krovane::gfx
