// Provisional interface of the .x model loader (replaced by the loader's own header).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/device_types.h"

namespace krovane::gfx {

struct XMaterial {
    ColorValue diffuse;
    float power;
    ColorValue specular;
    ColorValue emissive;
    std::string textureFile;
};
struct XVertex {
    float position[3];
    float normal[3];
    float uv[2];
};
struct XSubset {
    std::uint32_t firstTriangle;
    std::uint32_t triangleCount;
};
struct XModel {
    std::vector<XVertex> vertices;
    std::vector<std::uint32_t> indices;
    std::vector<XMaterial> materials;
    std::vector<XSubset> subsets;
};
bool parseXModel(const std::uint8_t* data, std::size_t size, XModel& model, std::string& error);
bool loadXModel(const std::string& enginePath, XModel& model, std::string& error);

}  // namespace krovane::gfx
