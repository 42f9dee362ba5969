// .x models: any bytes load or fail cleanly, and what loads is a consistent
// model: indices inside the vertices, subsets covering the triangles in order.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "formats/x_model.h"

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
    return 0;
}
