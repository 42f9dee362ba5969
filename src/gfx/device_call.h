// DeviceCall: one call made on the device (or on an effect made on it), as
// plain data: what the front end hands a backend that keeps calls (see
// DeviceBackend::record), valid or refused, with its result.
#pragma once

#include <cstdint>

#include "gfx/device_check.h"
#include "gfx/device_types.h"

namespace krovane::gfx {

enum class DeviceOp : std::uint8_t {
    Clear,
    BeginScene,
    EndScene,
    Present,
    SetRenderState,
    SetSamplerState,
    SetTransform,
    SetMaterial,
    SetTexture,
    SetFVF,
    SetStreamSource,
    CreateVertexBuffer,
    CreateTexture,
    DrawPrimitive,
    DrawPrimitiveUP,
    SetShaderProgram,
    // Calls on an effect made on the device (see effect.h), kept in the same
    // record so that tests see them in order with the draws they frame.
    EffectSetTechnique,
    EffectBegin,
    EffectBeginPass,
    EffectEndPass,
    EffectEnd,
    EffectSetMatrix,
    EffectSetVector,
    EffectSetFloat,
    CreateIndexBuffer,
    SetIndices,
    DrawIndexedPrimitive,
};

// One call as made, with its arguments and result: plain data that points at
// the caller's matrix, material and vertices for the duration of the call.
// Made with `kept` false (the call is not recorded), only `op` and `result`
// are set: the rest is filled as the call goes and read by no one, so that
// calls not recorded cost no clearing of the record.
struct DeviceCall {
    DeviceCall(DeviceOp o, bool kept) : op(o) {
        if (kept) clear();
    }

    DeviceOp op;
    DeviceCheck check = DeviceCheck::None;  // the check a refused call failed (see device_check.h)
    Result result = kOk;
    std::uint32_t args[7];  // the integer arguments in order (states as their numbers); a draw's cull mode in [6]
    float z;                // Clear's depth
    const Matrix* matrix;
    const Material* material;
    const void* object;  // the texture or vertex buffer passed
    const void* vertices;
    std::uint32_t vertexBytes;  // bytes read from `vertices` by a draw, or the pixels of a new texture
    const char* name;           // an effect's technique or parameter name
    float values[4];            // an effect's vector or float value

private:
    void clear() {
        for (std::uint32_t& a : args) a = 0;
        z = 0.0f;
        matrix = nullptr;
        material = nullptr;
        object = vertices = nullptr;
        vertexBytes = 0;
        name = nullptr;
        for (float& v : values) v = 0.0f;
    }
};

}  // namespace krovane::gfx
