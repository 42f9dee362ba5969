// .x models: any bytes load or fail cleanly, and what loads is a consistent
// model: indices inside the vertices, subsets covering the triangles in order,
// skins and animations naming frames and vertices it holds; every set poses.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "formats/x_model.h"
#include "formats/x_pose.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    krovane::formats::XModel model;
    std::string error;
    if (!krovane::formats::parseXModel(data, size, model, error)) {
        if (error.empty() || !model.vertices.empty() || !model.indices.empty() || !model.subsets.empty()) std::abort();
        return 0;
    }
    if (model.subsets.size() != model.materials.size() || model.indices.size() % 3 != 0) std::abort();
    std::size_t triangles = 0;
    for (const auto& s : model.subsets) {
        if (s.firstTriangle != triangles) std::abort();
        triangles += s.triangleCount;
    }
    if (triangles * 3 != model.indices.size()) std::abort();
    for (std::uint32_t i : model.indices)
        if (i >= model.vertices.size()) std::abort();
    for (const auto& mesh : model.meshes) {
        if (std::size_t{mesh.firstVertex} + mesh.vertexCount > model.vertices.size()) std::abort();
        for (const auto& bone : mesh.bones) {
            if (bone.frame >= model.frames.size() || bone.vertices.size() != bone.weights.size()) std::abort();
            for (std::uint32_t v : bone.vertices)
                if (v < mesh.firstVertex || v - mesh.firstVertex >= mesh.vertexCount) std::abort();
        }
    }
    for (const auto& set : model.animationSets)
        for (const auto& track : set.tracks)
            if (track.frame >= model.frames.size()) std::abort();
    krovane::formats::XPoser poser(model);
    std::vector<krovane::formats::XVertex> out(model.vertices.size());
    for (std::size_t set = 0; set < model.animationSets.size(); ++set)
        if (!poser.pose(set, 0.5, out)) std::abort();
    return 0;
}
