// The device values that outside files name: the render states an effect
// pass sets, the colours of a model's materials and the kinds of uniform an
// effect declares. They sit here, below the device, so that the file readers
// need no device; gfx/device_types.h and gfx/shader_program.h take them over.
#pragma once

#include <cstdint>

namespace krovane::formats {

enum class RenderState : std::uint32_t {
    ZEnable = 7,
    FillMode = 8,
    ZWriteEnable = 14,
    SrcBlend = 19,
    DestBlend = 20,
    CullMode = 22,
    ZFunc = 23,
    AlphaBlendEnable = 27,
    Lighting = 137,
    Ambient = 139,
    MultisampleAntialias = 161,
    BlendOp = 171,
    AntialiasedLineEnable = 176,
};

struct ColorValue {
    float r, g, b, a;
};

// How a material's alpha shows: not at all (opaque), as a cut-out where it is
// below the cutoff (mask), or blended over what is behind (blend).
enum class AlphaMode : std::uint8_t { Opaque, Mask, Blend };

struct MaterialAlpha {
    AlphaMode mode = AlphaMode::Opaque;
    float cutoff = 0.5f;  // a mask's: fragments whose alpha is below it are not drawn
    bool operator==(const MaterialAlpha&) const = default;
};

// The kinds of uniform a program takes values for.
enum class UniformType : std::uint8_t { Float, Vec2, Vec3, Vec4, Mat4, Other };

// Floats a value of `type` holds.
constexpr std::uint32_t uniformFloats(UniformType type) {
    switch (type) {
        case UniformType::Float:
            return 1;
        case UniformType::Vec2:
            return 2;
        case UniformType::Vec3:
            return 3;
        case UniformType::Vec4:
            return 4;
        case UniformType::Mat4:
            return 16;
        case UniformType::Other:
            return 0;
    }
    return 0;
}

}  // namespace krovane::formats
