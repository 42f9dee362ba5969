// DeviceCheck: the rules the device's calls (and an effect's) are checked
// against, one id per rule, each with a message that names the call and the
// rule ("DrawPrimitive: called outside BeginScene/EndScene").
//
// - A refused call returns kInvalidCall and its record names the check; see
//   Device for what debug builds print.
// - A call that breaks several rules names the first in the order below: a
//   draw outside a scene with no stream set is DrawPrimitiveOutsideScene.
// - Not checks: backend failures (kOutOfVideoMemory, a shader that does not
//   compile) leave the check None; buffer calls (Lock, Unlock) and the
//   loaders report in their own way.
// - A new check takes its id in its call's group and its message at the same
//   place in kDeviceChecks; the static_assert below fails until both agree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iterator>

namespace krovane::gfx {

// The ids, grouped by call; kDeviceChecks below gives each its message.
enum class DeviceCheck : std::uint8_t {
    // clang-format off
    None,  // the call passed every check (it may still fail in the backend)
    ClearRects, ClearFlags,
    BeginSceneInScene, EndSceneOutsideScene, PresentInScene,
    SetRenderStateUnknown,
    SetSamplerStateStage, SetSamplerStateUnknown,
    SetTransformNull, SetTransformUnknown,
    SetMaterialNull,
    SetTextureStage, SetTextureForeign,
    SetStreamSourceStream, SetStreamSourceForeign,
    SetIndicesForeign,
    SetShaderProgramForeign,
    CreateVertexBufferNull,
    CreateIndexBufferNull, CreateIndexBufferFormat, CreateIndexBufferLength,
    CreateTextureNull, CreateTextureSize, CreateTextureLevels,
    CreateShaderProgramNull,
    DrawPrimitiveOutsideScene, DrawPrimitiveType, DrawPrimitiveNoStream, DrawPrimitiveLocked, DrawPrimitiveTooMany, DrawPrimitivePastStream,
    DrawIndexedPrimitiveOutsideScene, DrawIndexedPrimitiveType, DrawIndexedPrimitiveNoStream, DrawIndexedPrimitiveNoIndices,
    DrawIndexedPrimitiveLocked, DrawIndexedPrimitiveTooMany, DrawIndexedPrimitiveBaseBelowZero,
    DrawIndexedPrimitivePastIndices, DrawIndexedPrimitivePastStream,
    DrawPrimitiveUPOutsideScene, DrawPrimitiveUPType, DrawPrimitiveUPNull, DrawPrimitiveUPTooMany,
    EffectSetTechniqueInBegin, EffectSetTechniqueUnknown,
    EffectBeginInBegin,
    EffectBeginPassOutsideBegin, EffectBeginPassInPass, EffectBeginPassPastLast,
    EffectEndPassOutsidePass,
    EffectEndOutsideBegin,
    EffectParameterNull, EffectParameterUnknown, EffectParameterKind,
    Count  // not a check: the number of them
    // clang-format on
};

struct DeviceCheckMessage {
    DeviceCheck check;
    const char* message;
};

// The message of each check, in the order of the ids.
inline constexpr DeviceCheckMessage kDeviceChecks[] = {
    {DeviceCheck::None, ""},
    {DeviceCheck::ClearRects, "Clear: clearing rectangles is not supported (pass 0 and null)"},
    {DeviceCheck::ClearFlags, "Clear: flags other than kClearTarget and kClearZBuffer"},
    {DeviceCheck::BeginSceneInScene, "BeginScene: called inside BeginScene/EndScene"},
    {DeviceCheck::EndSceneOutsideScene, "EndScene: called without BeginScene"},
    {DeviceCheck::PresentInScene, "Present: called inside BeginScene/EndScene"},
    {DeviceCheck::SetRenderStateUnknown, "SetRenderState: a render state the device does not keep"},
    {DeviceCheck::SetSamplerStateStage, "SetSamplerState: sampler past the last texture stage"},
    {DeviceCheck::SetSamplerStateUnknown, "SetSamplerState: a sampler state the device does not keep"},
    {DeviceCheck::SetTransformNull, "SetTransform: null matrix"},
    {DeviceCheck::SetTransformUnknown, "SetTransform: a transform other than World, View and Projection"},
    {DeviceCheck::SetMaterialNull, "SetMaterial: null material"},
    {DeviceCheck::SetTextureStage, "SetTexture: stage past the last texture stage"},
    {DeviceCheck::SetTextureForeign, "SetTexture: a texture made on another device"},
    {DeviceCheck::SetStreamSourceStream, "SetStreamSource: a stream other than 0"},
    {DeviceCheck::SetStreamSourceForeign, "SetStreamSource: a vertex buffer made on another device"},
    {DeviceCheck::SetIndicesForeign, "SetIndices: an index buffer made on another device"},
    {DeviceCheck::SetShaderProgramForeign, "SetShaderProgram: a program made on another device"},
    {DeviceCheck::CreateVertexBufferNull, "CreateVertexBuffer: null handle or zero length"},
    {DeviceCheck::CreateIndexBufferNull, "CreateIndexBuffer: null handle or zero length"},
    {DeviceCheck::CreateIndexBufferFormat, "CreateIndexBuffer: format neither kFmtIndex16 nor kFmtIndex32"},
    {DeviceCheck::CreateIndexBufferLength, "CreateIndexBuffer: length not a whole number of indices"},
    {DeviceCheck::CreateTextureNull, "CreateTexture: null handle or pixels"},
    {DeviceCheck::CreateTextureSize, "CreateTexture: a side of 0 or past kMaxTextureSize"},
    {DeviceCheck::CreateTextureLevels, "CreateTexture: more levels than halving down to 1 x 1 makes"},
    {DeviceCheck::CreateShaderProgramNull, "CreateShaderProgram: null handle or source"},
    {DeviceCheck::DrawPrimitiveOutsideScene, "DrawPrimitive: called outside BeginScene/EndScene"},
    {DeviceCheck::DrawPrimitiveType, "DrawPrimitive: a primitive type other than PointList to TriangleFan"},
    {DeviceCheck::DrawPrimitiveNoStream, "DrawPrimitive: no vertex buffer on stream 0, or a stride of 0"},
    {DeviceCheck::DrawPrimitiveLocked, "DrawPrimitive: the vertex buffer is locked"},
    {DeviceCheck::DrawPrimitiveTooMany, "DrawPrimitive: more than 2^24 primitives"},
    {DeviceCheck::DrawPrimitivePastStream, "DrawPrimitive: the vertices run past the end of the vertex buffer"},
    {DeviceCheck::DrawIndexedPrimitiveOutsideScene, "DrawIndexedPrimitive: called outside BeginScene/EndScene"},
    {DeviceCheck::DrawIndexedPrimitiveType,
     "DrawIndexedPrimitive: a primitive type other than PointList to TriangleFan"},
    {DeviceCheck::DrawIndexedPrimitiveNoStream, "DrawIndexedPrimitive: no vertex buffer on stream 0, or a stride of 0"},
    {DeviceCheck::DrawIndexedPrimitiveNoIndices, "DrawIndexedPrimitive: no index buffer set"},
    {DeviceCheck::DrawIndexedPrimitiveLocked, "DrawIndexedPrimitive: the vertex or index buffer is locked"},
    {DeviceCheck::DrawIndexedPrimitiveTooMany, "DrawIndexedPrimitive: more than 2^24 primitives"},
    {DeviceCheck::DrawIndexedPrimitiveBaseBelowZero, "DrawIndexedPrimitive: baseVertex lies before the stream's start"},
    {DeviceCheck::DrawIndexedPrimitivePastIndices,
     "DrawIndexedPrimitive: the indices from startIndex run past the end of the index buffer"},
    {DeviceCheck::DrawIndexedPrimitivePastStream,
     "DrawIndexedPrimitive: an index of the buffer names a vertex past the end of the stream"},
    {DeviceCheck::DrawPrimitiveUPOutsideScene, "DrawPrimitiveUP: called outside BeginScene/EndScene"},
    {DeviceCheck::DrawPrimitiveUPType, "DrawPrimitiveUP: a primitive type other than PointList to TriangleFan"},
    {DeviceCheck::DrawPrimitiveUPNull, "DrawPrimitiveUP: null vertices or a stride of 0"},
    {DeviceCheck::DrawPrimitiveUPTooMany, "DrawPrimitiveUP: more than 2^24 primitives"},
    {DeviceCheck::EffectSetTechniqueInBegin, "Effect::SetTechnique: called inside Begin/End"},
    {DeviceCheck::EffectSetTechniqueUnknown, "Effect::SetTechnique: no technique of that name"},
    {DeviceCheck::EffectBeginInBegin, "Effect::Begin: called inside Begin/End"},
    {DeviceCheck::EffectBeginPassOutsideBegin, "Effect::BeginPass: called outside Begin/End"},
    {DeviceCheck::EffectBeginPassInPass, "Effect::BeginPass: called inside BeginPass/EndPass"},
    {DeviceCheck::EffectBeginPassPastLast, "Effect::BeginPass: a pass past the technique's last"},
    {DeviceCheck::EffectEndPassOutsidePass, "Effect::EndPass: called without BeginPass"},
    {DeviceCheck::EffectEndOutsideBegin, "Effect::End: called without Begin"},
    {DeviceCheck::EffectParameterNull, "Effect::SetMatrix/SetVector: null value"},
    {DeviceCheck::EffectParameterUnknown, "Effect::SetMatrix/SetVector/SetFloat: no parameter of that name"},
    {DeviceCheck::EffectParameterKind, "Effect::SetMatrix/SetVector/SetFloat: a parameter of another kind"},
};

constexpr bool deviceChecksInOrder() {
    for (std::size_t i = 0; i < std::size(kDeviceChecks); ++i)
        if (kDeviceChecks[i].check != static_cast<DeviceCheck>(i)) return false;
    return true;
}
static_assert(std::size(kDeviceChecks) == static_cast<std::size_t>(DeviceCheck::Count) && deviceChecksInOrder(),
              "one message per check, in the order of the ids");

inline const char* message(DeviceCheck check) { return kDeviceChecks[static_cast<std::size_t>(check)].message; }

}  // namespace krovane::gfx
