#include "gfx/mesh.h"

#include <meshoptimizer.h>

#include <algorithm>
#include <cstring>

#include "formats/x_model.h"
#include "formats/x_pose.h"
#include "gfx/index_buffer.h"
#include "gfx/vertex_buffer.h"

namespace krovane::gfx {

namespace {

constexpr std::uint32_t kMeshFvf = kFvfXyz | kFvfNormal | kFvfTex1;
constexpr std::uint32_t kStride = 32;
// Above this many triangles a model is ordered for the vertex cache the quick way (see make).
constexpr std::size_t kBigMeshTriangles = 1000000;

}  // namespace

Mesh::Mesh(Device* device, Ref<VertexBuffer> vertices, Ref<IndexBuffer> indices, std::vector<Range> subsets,
           std::uint32_t vertexCount, std::uint32_t triangleCount)
    : DeviceResource(device),
      vertices_(std::move(vertices)),
      indices_(std::move(indices)),
      subsets_(std::move(subsets)),
      vertexCount_(vertexCount),
      triangleCount_(triangleCount) {}

struct Mesh::Animation {
    explicit Animation(std::unique_ptr<formats::XModel> kept) : model(std::move(kept)), poser(*model) {
        posed.resize(model->vertices.size());
    }
    std::unique_ptr<formats::XModel> model;
    formats::XPoser poser;
    std::vector<formats::XVertex> posed;  // the model's vertices in the last pose
    std::vector<std::uint32_t> source;    // per mesh vertex, the model vertex it is
};

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
    return make(device, model,
                model.animationSets.empty() ? nullptr : std::make_unique<formats::XModel>(model), mesh);
}

Result Mesh::create(Device* device, formats::XModel&& model, Ref<Mesh>* mesh) {
    if (model.animationSets.empty()) return make(device, model, nullptr, mesh);
    auto kept = std::make_unique<formats::XModel>(std::move(model));
    const formats::XModel& from = *kept;
    return make(device, from, std::move(kept), mesh);
}

Result Mesh::make(Device* device, const formats::XModel& model, std::unique_ptr<formats::XModel> kept,
                  Ref<Mesh>* mesh) {
    if (device == nullptr || mesh == nullptr) return kInvalidCall;
    *mesh = nullptr;
    const std::size_t corners = model.indices.size();
    if (corners == 0 || corners % 3 != 0 || corners * kStride > 0xFFFFFFFFu) return kInvalidCall;

    // The corners subset after subset: the model's own index list where its
    // subsets follow one another from the start, as the reader makes them.
    std::vector<Range> ranges;
    ranges.reserve(model.subsets.size());
    std::vector<std::uint32_t> gathered;
    std::size_t next = 0;  // where the model's next subset would start if they follow one another
    bool inOrder = true;
    for (const auto& subset : model.subsets) {
        const std::uint64_t from = std::uint64_t{subset.firstTriangle} * 3;
        const std::uint64_t to = std::min<std::uint64_t>(from + std::uint64_t{subset.triangleCount} * 3, corners);
        const auto first = static_cast<std::uint32_t>(inOrder ? next : gathered.size());
        if (inOrder && from != next) {
            inOrder = false;
            gathered.assign(model.indices.begin(), model.indices.begin() + static_cast<std::ptrdiff_t>(next));
        }
        if (!inOrder && from < to)
            gathered.insert(gathered.end(), model.indices.begin() + static_cast<std::ptrdiff_t>(from),
                            model.indices.begin() + static_cast<std::ptrdiff_t>(to));
        const std::size_t end = inOrder ? (next = std::max<std::size_t>(next, to)) : gathered.size();
        ranges.push_back({first, static_cast<std::uint32_t>((end - first) / 3)});
    }
    const std::uint32_t* cornerIndex = inOrder ? model.indices.data() : gathered.data();
    const std::size_t cornerCount = inOrder ? next : gathered.size();
    const std::size_t modelVertices = model.vertices.size();
    for (std::size_t i = 0; i < cornerCount; ++i)
        if (cornerIndex[i] >= modelVertices) return kInvalidCall;  // the reader never makes one

    // Identical vertices are welded: alike in every byte, or, for a model that
    // moves, the same vertex of the model. New numbers go in the order the
    // corners first use them.
    const bool moves = kept != nullptr && cornerCount > 0;
    static_assert(sizeof(formats::XVertex) == kStride, "a mesh vertex is the model's vertex");
    std::vector<formats::XVertex> vertices;
    std::vector<std::uint32_t> source;
    std::vector<unsigned> ordered;
    if (cornerCount == 0) {
        // Subsets without triangles: a mesh that draws nothing, as the model says.
        vertices.assign(1, formats::XVertex{});
        ordered.assign(3, 0);
    } else {
        std::vector<unsigned> remap(modelVertices, ~0u);
        std::size_t welded = 0;
        if (moves) {
            for (std::size_t i = 0; i < cornerCount; ++i)
                if (remap[cornerIndex[i]] == ~0u) remap[cornerIndex[i]] = static_cast<unsigned>(welded++);
        } else {
            welded = meshopt_generateVertexRemap(remap.data(), cornerIndex, cornerCount, model.vertices.data(),
                                                 modelVertices, kStride);
        }
        std::vector<unsigned> indices(cornerCount);
        meshopt_remapIndexBuffer(indices.data(), cornerIndex, cornerCount, remap.data());
        // Each subset's triangles in the order the vertex cache likes, then the
        // vertices in the order the triangles first use them.
        ordered.resize(cornerCount);
        // A big model takes the simpler first-in-first-out ordering: about four
        // times faster to make, and as good for a cache of 16.
        const bool big = cornerCount / 3 > kBigMeshTriangles;
        for (const Range& r : ranges) {
            if (big)
                meshopt_optimizeVertexCacheFifo(ordered.data() + r.firstIndex, indices.data() + r.firstIndex,
                                                std::size_t{r.triangles} * 3, welded, 16);
            else
                meshopt_optimizeVertexCache(ordered.data() + r.firstIndex, indices.data() + r.firstIndex,
                                            std::size_t{r.triangles} * 3, welded);
        }
        if (moves) {
            source.resize(welded);
            for (std::size_t v = 0; v < modelVertices; ++v)
                if (remap[v] != ~0u) source[remap[v]] = static_cast<std::uint32_t>(v);
            source.resize(meshopt_optimizeVertexFetch(source.data(), ordered.data(), cornerCount, source.data(),
                                                      welded, sizeof(std::uint32_t)));
            vertices.resize(source.size());
            for (std::size_t i = 0; i < source.size(); ++i) vertices[i] = model.vertices[source[i]];
        } else {
            vertices.resize(welded);
            meshopt_remapVertexBuffer(vertices.data(), model.vertices.data(), modelVertices, kStride, remap.data());
            vertices.resize(meshopt_optimizeVertexFetch(vertices.data(), ordered.data(), cornerCount,
                                                        vertices.data(), welded, kStride));
        }
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
    result->warnings_ = model.warnings;
    if (moves) {
        result->animation_ = std::make_unique<Animation>(std::move(kept));
        result->animation_->source = std::move(source);
    }
    *mesh = std::move(result);
    return kOk;
}

std::span<const formats::XVertex> Mesh::vertices() const {
    return {reinterpret_cast<const formats::XVertex*>(vertices_->bytes()), vertexCount_};
}

std::size_t Mesh::animationCount() const { return animation_ ? animation_->model->animationSets.size() : 0; }

const std::string& Mesh::animationName(std::size_t set) const {
    static const std::string none;
    return set < animationCount() ? animation_->model->animationSets[set].name : none;
}

double Mesh::animationDuration(std::size_t set) const { return animation_ ? animation_->poser.duration(set) : 0; }

bool Mesh::animationLoops(std::size_t set) const {
    return set < animationCount() && animation_->model->animationSets[set].looping;
}

Result Mesh::createPoseBuffer(Ref<VertexBuffer>* buffer) {
    if (animation_ == nullptr || buffer == nullptr) return kInvalidCall;
    return device()->CreateVertexBuffer(vertexCount_ * kStride, 0, kMeshFvf, kPoolDefault, buffer);
}

Result Mesh::pose(std::size_t set, double seconds, VertexBuffer* into, Vector3& low, Vector3& high) {
    if (animation_ == nullptr || into == nullptr || set >= animationCount() ||
        into->length() != vertexCount_ * kStride || into->fvf() != kMeshFvf)
        return kInvalidCall;
    Animation& a = *animation_;
    a.poser.pose(set, seconds, a.posed);
    void* locked = nullptr;
    if (failed(into->Lock(0, 0, &locked, 0))) return kInvalidCall;
    auto* out = static_cast<formats::XVertex*>(locked);
    constexpr float kHuge = 3.4e38f;
    low = {kHuge, kHuge, kHuge};
    high = {-kHuge, -kHuge, -kHuge};
    for (std::size_t i = 0; i < a.source.size(); ++i) {
        out[i] = a.posed[a.source[i]];
        const float* p = out[i].position;
        low = {std::min(low.x, p[0]), std::min(low.y, p[1]), std::min(low.z, p[2])};
        high = {std::max(high.x, p[0]), std::max(high.y, p[1]), std::max(high.z, p[2])};
    }
    return into->Unlock();
}

Result Mesh::DrawSubset(std::uint32_t subset) { return DrawSubset(subset, nullptr); }

Result Mesh::DrawSubset(std::uint32_t subset, VertexBuffer* vertices) {
    if (subset >= subsets_.size()) return kInvalidCall;
    const Range& r = subsets_[subset];
    if (r.triangles == 0) return kOk;
    Device* dev = device();
    if (dev->fvf() != kMeshFvf) dev->SetFVF(kMeshFvf);
    dev->SetStreamSource(0, vertices != nullptr ? vertices : vertices_.get(), 0, kStride);
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
    return LoadMeshFromX(path, std::move(model), device, materials, mesh, error);
}

Result LoadMeshFromX(const char* path, formats::XModel&& model, Device* device,
                     std::vector<ModelMaterial>& materials, Ref<Mesh>* mesh, std::string* error) {
    materials.clear();
    if (mesh) mesh->reset();
    if (path == nullptr || device == nullptr || mesh == nullptr) return kInvalidCall;
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
    const Result made = Mesh::create(device, std::move(model), mesh);
    if (failed(made)) {
        materials.clear();
        if (error) *error = std::string(path) + ": the model has no triangles to draw";
        return made;
    }
    return kOk;
}

}  // namespace krovane::gfx
