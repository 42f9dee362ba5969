// Posing a skinned model on the CPU: 65536 vertices, each moved by four of
// 64 bones in a chain, position and normal, one thread. The figure is
// skinned vertices per second (items_per_second); the aim is 20 million.
// BM_MeshPose is the engine's whole step for one object: the pose, copied in
// the mesh's vertex order into the object's buffer and handed to the device
// (the null device: the upload itself is the driver's).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "formats/x_model.h"
#include "formats/x_pose.h"
#include "gfx/mesh.h"
#include "gfx/null_device.h"
#include "gfx/vertex_buffer.h"

namespace {

using namespace krovane::formats;

XModel skinnedModel(std::uint32_t vertexCount, std::uint32_t boneCount) {
    XModel model;
    XAnimationSet set;
    set.name = "Bend";
    set.lastTick = 4800;
    for (std::uint32_t b = 0; b < boneCount; ++b) {
        XFrame frame;
        frame.name = "Bone" + std::to_string(b);
        frame.parent = b == 0 ? kXNoFrame : b - 1;
        frame.local[13] = 1;  // each a step up from the one before
        model.frames.push_back(frame);
        XTrack track;
        track.frame = b;
        const float angle = 0.02f * float(b), c = std::cos(angle), s = std::sin(angle);
        track.rotation = {{0, 4800}, {1, 0, 0, 0, c, s, 0, 0}};
        track.position = {{0, 4800}, {0, 1, 0, 0.1f, 1, 0}};
        set.tracks.push_back(track);
    }
    model.animationSets.push_back(set);
    XMeshPart mesh;
    mesh.vertexCount = vertexCount;
    mesh.bones.resize(boneCount);
    for (std::uint32_t b = 0; b < boneCount; ++b) {
        mesh.bones[b].frame = b;
        const float offset[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, -float(b + 1), 0, 1};
        std::copy(offset, offset + 16, mesh.bones[b].offset);
    }
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
        const float y = float(boneCount) * float(v) / float(vertexCount);
        model.vertices.push_back(
            {{std::cos(float(v)), y, std::sin(float(v))}, {std::cos(float(v)), 0, std::sin(float(v))}, {0, 0}});
        const std::uint32_t first = std::min(std::uint32_t(y), boneCount - 4);
        for (std::uint32_t k = 0; k < 4; ++k) {
            mesh.bones[first + k].vertices.push_back(v);
            mesh.bones[first + k].weights.push_back(float(4 - k));
        }
    }
    model.meshes.push_back(std::move(mesh));
    return model;
}

void BM_PoseSkinned(benchmark::State& state) {
    const XModel model = skinnedModel(65536, 64);
    XPoser poser(model);
    std::vector<XVertex> out(model.vertices.size());
    double seconds = 0;
    for (auto _ : state) {
        poser.pose(0, seconds, out);
        seconds += 0.01;
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(model.vertices.size()));
}
BENCHMARK(BM_PoseSkinned)->Unit(benchmark::kMicrosecond);

void BM_MeshPose(benchmark::State& state) {
    XModel model = skinnedModel(65535, 64);
    for (std::uint32_t v = 0; v < 65535; ++v) model.indices.push_back(v);
    model.subsets.push_back({0, 65535 / 3});
    model.materials.emplace_back();
    auto device = krovane::gfx::createNullDevice();
    krovane::gfx::Ref<krovane::gfx::Mesh> mesh;
    krovane::gfx::Ref<krovane::gfx::VertexBuffer> buffer;
    if (krovane::gfx::failed(krovane::gfx::Mesh::create(device.get(), std::move(model), &mesh)) ||
        krovane::gfx::failed(mesh->createPoseBuffer(&buffer))) {
        state.SkipWithError("the mesh was not made");
        return;
    }
    krovane::gfx::Vector3 low, high;
    double seconds = 0;
    for (auto _ : state) {
        mesh->pose(0, seconds, buffer.get(), low, high);
        seconds += 0.01;
        benchmark::DoNotOptimize(low);
    }
    state.SetItemsProcessed(state.iterations() * std::int64_t(mesh->vertexCount()));
}
BENCHMARK(BM_MeshPose)->Unit(benchmark::kMicrosecond);

}  // namespace
