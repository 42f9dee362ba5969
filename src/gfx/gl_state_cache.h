// The OpenGL backend's view of the context: the tables that map device
// values to GL, and GlStateCache, what the context holds now as far as
// drawing depends on it, so that a draw sets only what changed since the one
// before. Resources that bind or delete GL objects keep it true. For the GL
// backend's files only.
#pragma once

#include <epoxy/gl.h>  // GL entry points, loaded for the context in use

#include <cstddef>
#include <cstdint>
#include <iterator>

#include "gfx/device_types.h"

namespace krovane::gfx {

class Device;

// ---- Mapping tables: device values to GL -------------------------------------

// Primitive types, indexed by PrimitiveType (1 to 6).
inline constexpr GLenum kGlPrimitives[] = {
    GL_POINTS,          // 0: unused
    GL_POINTS,          // 1: point list
    GL_LINES,           // 2: line list
    GL_LINE_STRIP,      // 3: line strip
    GL_TRIANGLES,       // 4: triangle list
    GL_TRIANGLE_STRIP,  // 5: triangle strip
    GL_TRIANGLE_FAN,    // 6: triangle fan
};
static_assert(std::size(kGlPrimitives) == 7, "one GL primitive per primitive type");

// Comparison functions of ZFunc, indexed by value (1 to 8).
inline constexpr GLenum kGlCompare[] = {
    GL_LEQUAL,    // 0: not a value; the usual test
    GL_NEVER,     // 1
    GL_LESS,      // 2
    GL_EQUAL,     // 3
    GL_LEQUAL,    // 4
    GL_GREATER,   // 5
    GL_NOTEQUAL,  // 6
    GL_GEQUAL,    // 7
    GL_ALWAYS,    // 8
};
static_assert(std::size(kGlCompare) == 9, "one GL function per comparison");

// Blend factors of SrcBlend and DestBlend, indexed by value (1 to 11).
inline constexpr GLenum kGlBlend[] = {
    GL_ONE,                  // 0: not a value
    GL_ZERO,                 // 1: zero
    GL_ONE,                  // 2: one
    GL_SRC_COLOR,            // 3: source colour
    GL_ONE_MINUS_SRC_COLOR,  // 4: inverse source colour
    GL_SRC_ALPHA,            // 5: source alpha
    GL_ONE_MINUS_SRC_ALPHA,  // 6: inverse source alpha
    GL_DST_ALPHA,            // 7: destination alpha
    GL_ONE_MINUS_DST_ALPHA,  // 8: inverse destination alpha
    GL_DST_COLOR,            // 9: destination colour
    GL_ONE_MINUS_DST_COLOR,  // 10: inverse destination colour
    GL_SRC_ALPHA_SATURATE,   // 11: source alpha, saturated
};
static_assert(std::size(kGlBlend) == 12, "one GL factor per blend value");

// Blend operations of BlendOp, indexed by value (1 to 5).
inline constexpr GLenum kGlBlendOps[] = {
    GL_FUNC_ADD,               // 0: not a value
    GL_FUNC_ADD,               // 1: add
    GL_FUNC_SUBTRACT,          // 2: subtract
    GL_FUNC_REVERSE_SUBTRACT,  // 3: reverse subtract
    GL_MIN,                    // 4: minimum
    GL_MAX,                    // 5: maximum
};
static_assert(std::size(kGlBlendOps) == 6, "one GL operation per blend operation");

// Fill modes, indexed by value (1 to 3).
inline constexpr GLenum kGlFill[] = {
    GL_FILL,   // 0: not a value
    GL_POINT,  // 1: points
    GL_LINE,   // 2: wireframe
    GL_FILL,   // 3: solid
};
static_assert(std::size(kGlFill) == 4, "one GL polygon mode per fill mode");

// The row of `table` for `value`; a value past the table takes row 0.
template <std::size_t N>
GLenum glLookup(const GLenum (&table)[N], std::uint32_t value) {
    return value < N ? table[value] : table[0];
}

// ---- The state the context holds ---------------------------------------------

struct GlStateCache {
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
    GLuint program = kUnknown, texture = kUnknown, elements = kUnknown;
    // The vertex layout the attributes point at: buffer, first byte, stride, format, line or not.
    GLuint layoutBuffer = kUnknown;
    std::uintptr_t layoutBase = 0;
    std::uint32_t layoutStride = 0, layoutFvf = 0;
    VertexLayout layout = VertexLayout::Format;
    // Render states, as GL values (kUnknown until first set).
    std::uint32_t depthTest = kUnknown, depthFunc = kUnknown, depthMask = kUnknown, blend = kUnknown,
                  blendSrc = kUnknown, blendDst = kUnknown, blendOp = kUnknown, polygonMode = kUnknown,
                  multisample = kUnknown, cull = kUnknown, frontFace = kUnknown;

    void useProgram(GLuint id) {
        if (program != id) glUseProgram(program = id);
    }
    void bindTexture(GLuint id) {
        if (texture != id) glBindTexture(GL_TEXTURE_2D, texture = id);
    }
    // A buffer deleted while the attributes or the indices point at it leaves them pointing at nothing.
    void forgetBuffer(GLuint id) {
        if (layoutBuffer == id) layoutBuffer = kUnknown;
        if (elements == id) elements = kUnknown;
    }
    // Sets a GL capability or value only when it changes.
    template <class Apply>
    void set(std::uint32_t& held, std::uint32_t value, Apply apply) {
        if (held != value) {
            held = value;
            apply();
        }
    }

    // The device's render states, those that differ from what the context
    // holds; `multisampled`: the frame has more than one sample per pixel.
    void applyRenderStates(const Device& state, bool multisampled);
    // Points the vertex attributes at `buffer` from byte `base` on, read as
    // `layout` under the vertex format `fvf`.
    void setVertexLayout(GLuint buffer, std::uint32_t stride, std::uintptr_t base, VertexLayout layout,
                         std::uint32_t fvf);
};

}  // namespace krovane::gfx
