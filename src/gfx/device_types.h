// The vocabulary of the 3D device: result codes, states, vertex formats,
// matrices, colours and materials.
//
// The numeric values are those of the 3D API the engine was first written
// for, so that engine code reads like the calls it makes and its constants
// (render state 8 is the fill mode, fill mode 3 is solid, clear flag 1 is the
// target...) apply unchanged. Nothing here names a type of a real backend.
#pragma once

#include <cstdint>

#include "formats/render_values.h"

namespace krovane::gfx {

// Results are 32-bit codes; a negative value is a failure.
using Result = std::int32_t;
inline constexpr Result kOk = 0;
inline constexpr Result kFail = static_cast<Result>(0x80004005u);              // unspecified failure
inline constexpr Result kInvalidCall = static_cast<Result>(0x8876086Cu);       // arguments or call order wrong
inline constexpr Result kOutOfVideoMemory = static_cast<Result>(0x8876017Cu);  // a resource could not be made
inline constexpr Result kNotAvailable = static_cast<Result>(0x8876086Au);      // the driver cannot give it
inline constexpr bool failed(Result r) { return r < 0; }

using formats::RenderState;

// Values of RenderState::FillMode.
inline constexpr std::uint32_t kFillWireframe = 2;
inline constexpr std::uint32_t kFillSolid = 3;
// Values of RenderState::CullMode: which triangles are not drawn, by the
// way their corners run on screen.
inline constexpr std::uint32_t kCullNone = 1;
inline constexpr std::uint32_t kCullClockwise = 2;
inline constexpr std::uint32_t kCullCounterClockwise = 3;
// A cull mode that names none of the culling modes: nothing is culled.
inline constexpr std::uint32_t kCullForceDword = 0x7FFFFFFF;

// MaxAnisotropy: how much anisotropy an anisotropic filter uses, from 1 (the
// default: plain trilinear filtering) up to what the driver offers.
enum class SamplerState : std::uint32_t { MagFilter = 5, MinFilter = 6, MipFilter = 7, MaxAnisotropy = 10 };
inline constexpr std::uint32_t kFilterPoint = 1;
inline constexpr std::uint32_t kFilterLinear = 2;
inline constexpr std::uint32_t kFilterAnisotropic = 3;

enum class TransformState : std::uint32_t { View = 2, Projection = 3, World = 256 };

enum class PrimitiveType : std::uint32_t {
    PointList = 1,
    LineList = 2,
    LineStrip = 3,
    TriangleList = 4,
    TriangleStrip = 5,
    TriangleFan = 6,
};

// Flags of Clear.
inline constexpr std::uint32_t kClearTarget = 1;
inline constexpr std::uint32_t kClearZBuffer = 2;

// Vertex formats, as flags. The engine uses three combinations:
//   kFvfXyz | kFvfNormal | kFvfTex1   meshes: position, normal, texture coordinate (32 bytes)
//   kFvfXyzRhw | kFvfDiffuse          screen pixels with a colour (20 bytes)
//   the line vertex of seven floats, drawn under whatever format is set (VertexLayout::Line)
inline constexpr std::uint32_t kFvfXyz = 0x002;
inline constexpr std::uint32_t kFvfXyzRhw = 0x004;
inline constexpr std::uint32_t kFvfNormal = 0x010;
inline constexpr std::uint32_t kFvfDiffuse = 0x040;
inline constexpr std::uint32_t kFvfTex1 = 0x100;

// How a draw reads its vertices: as the vertex format set says, or as the
// line vertex (x, y, z, 0, 0, 0, 1: seven floats, 28 bytes), in the colour of
// texture stage 0 and never lit, its position in screen pixels when the
// format set has kFvfXyzRhw and in world space otherwise. The caller of a
// draw names it; it is never guessed from a stride.
enum class VertexLayout : std::uint8_t { Format, Line };

inline constexpr std::uint32_t kPoolDefault = 0;
// Index formats of CreateIndexBuffer.
inline constexpr std::uint32_t kFmtIndex16 = 101;
inline constexpr std::uint32_t kFmtIndex32 = 102;
inline constexpr std::uint32_t kTextureStages = 8;

// A 4 x 4 matrix, row-major, for row vectors (p' = p * M), left-handed.
struct Matrix {
    float m[4][4];
};

using formats::ColorValue;

struct Material {
    ColorValue diffuse;
    ColorValue ambient;
    ColorValue specular;
    ColorValue emissive;
    float power;
};

struct Rect {
    std::int32_t left, top, right, bottom;
};

}  // namespace krovane::gfx
