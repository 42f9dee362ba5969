// ShaderProgram: a linked pair of GLSL stages on the device, made by the
// effects. While one is set on the device (Device::SetShaderProgram) it
// replaces the fixed-function shading for every draw; the device then hands
// it the current material, texture stage 0 (white where none is set) and the
// vertex attributes:
//   location 0  inPosition  (vec3)     location 2  inTexCoord (vec2)
//   location 1  inColor     (vec4)     location 3  inNormal   (vec3)
#pragma once

#include <cstdint>

#include "formats/render_values.h"
#include "gfx/device_resource.h"

namespace krovane::gfx {

using formats::uniformFloats;
using formats::UniformType;

class ShaderProgram : public DeviceResource {
public:
    // Where a uniform lives in the program, or -1 when the program has none
    // of that name (a compiler drops uniforms its stages do not use).
    virtual std::int32_t uniformLocation(const char* name) const = 0;
    // Stores a value: `values` holds uniformFloats(type) floats. A matrix is
    // given in the engine's row-major layout for row vectors and reaches the
    // shader so that `mat * vec4(p, 1.0)` transforms p as p * M does.
    virtual void setUniform(std::int32_t location, UniformType type, const float* values) = 0;

protected:
    explicit ShaderProgram(Device* device) : DeviceResource(device) {}
};

}  // namespace krovane::gfx
