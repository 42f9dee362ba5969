#include "gfx/mesh.h"

#include <cstdio>
#include <cstring>

#include "gfx/vertex_buffer.h"
#include "gfx/x_model.h"

namespace krovane::gfx {

namespace {

constexpr std::uint32_t kMeshFvf = kFvfXyz | kFvfNormal | kFvfTex1;
constexpr std::uint32_t kStride = 32;

}  // namespace

Mesh::Mesh(Device* device, VertexBuffer* buffer, std::vector<Range> subsets, std::uint32_t vertexCount)
    : DeviceResource(device), buffer_(buffer), subsets_(std::move(subsets)), vertexCount_(vertexCount) {}

Mesh::~Mesh() { buffer_->Release(); }

Result Mesh::create(Device* device, const XModel& model, Mesh** mesh) {
    if (device == nullptr || mesh == nullptr) return kInvalidCall;
    *mesh = nullptr;
    const std::size_t corners = model.indices.size();
    if (corners == 0 || corners % 3 != 0 || corners * kStride > 0xFFFFFFFFu) return kInvalidCall;

    // Triangles are laid out subset after subset with their own corners, so
    // each subset is one draw of consecutive vertices.
    VertexBuffer* buffer = nullptr;
    const auto bytes = static_cast<std::uint32_t>(corners * kStride);
    const Result made = device->CreateVertexBuffer(bytes, 0, kMeshFvf, kPoolDefault, &buffer);
    if (failed(made)) return made;
    void* data = nullptr;
    if (failed(buffer->Lock(0, 0, &data, 0))) {
        buffer->Release();
        return kFail;
    }
    auto* out = static_cast<std::uint8_t*>(data);
    std::vector<Range> ranges;
    ranges.reserve(model.subsets.size());
    std::uint32_t written = 0;
    for (const auto& subset : model.subsets) {
        ranges.push_back({written, subset.triangleCount});
        for (std::uint64_t i = std::uint64_t{subset.firstTriangle} * 3;
             i < (std::uint64_t{subset.firstTriangle} + subset.triangleCount) * 3 && i < corners; ++i) {
            const std::uint32_t index = model.indices[i];
            if (index < model.vertices.size())
                std::memcpy(out + std::size_t{written} * kStride, &model.vertices[index], kStride);
            else
                std::memset(out + std::size_t{written} * kStride, 0, kStride);
            ++written;
        }
    }
    buffer->Unlock();
    *mesh = new Mesh(device, buffer, std::move(ranges), written);
    return kOk;
}

Result Mesh::DrawSubset(std::uint32_t subset) {
    if (subset >= subsets_.size()) return kInvalidCall;
    const Range& r = subsets_[subset];
    if (r.triangles == 0) return kOk;
    device()->SetFVF(kMeshFvf);
    device()->SetStreamSource(0, buffer_, 0, kStride);
    return device()->DrawPrimitive(PrimitiveType::TriangleList, r.firstVertex, r.triangles);
}

Result LoadMeshFromX(const char* path, Device* device, std::vector<ModelMaterial>& materials, Mesh** mesh,
                     std::string* error) {
    materials.clear();
    if (mesh) *mesh = nullptr;
    if (path == nullptr || device == nullptr || mesh == nullptr) return kInvalidCall;
    // The reason goes to stderr, as the engine's own message only names the file.
    const auto fail = [&](const std::string& why, Result result) {
        std::fprintf(stderr, "model: %s\n", why.c_str());
        if (error) *error = why;
        return result;
    };
    XModel model;
    std::string why;
    if (!loadXModel(path, model, why)) return fail(why, kFail);
    const Result made = Mesh::create(device, model, mesh);
    if (failed(made)) return fail(std::string(path) + ": the model has no triangles to draw", made);
    materials.reserve(model.materials.size());
    for (const XMaterial& m : model.materials) {
        ModelMaterial out{};
        out.material.diffuse = m.diffuse;
        out.material.specular = m.specular;
        out.material.emissive = m.emissive;
        out.material.power = m.power;
        out.textureFile = m.textureFile;
        materials.push_back(std::move(out));
    }
    return kOk;
}

}  // namespace krovane::gfx
