// The null device: the same answers as the recording device to a script of
// valid and invalid calls, and nothing drawn or kept of them.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "gfx/effect.h"
#include "gfx/index_buffer.h"
#include "gfx/null_device.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"

namespace {

using namespace krovane::gfx;

// Calls whose answers depend on the device's checks: scenes, states, buffers
// and their bounds, textures and effects. Returns every result in order.
std::vector<Result> script(Device& device) {
    std::vector<Result> out;
    const auto put = [&](Result r) { out.push_back(r); };
    const float line[7] = {0, 0, 0, 0, 0, 0, 1};
    put(device.DrawPrimitiveUP(PrimitiveType::PointList, 1, line, 28));
    put(device.BeginScene());
    put(device.BeginScene());
    put(device.DrawPrimitiveUP(PrimitiveType::PointList, 1, line, 0));
    put(device.SetRenderState(static_cast<RenderState>(12345), 1));
    put(device.SetSamplerState(8, SamplerState::MinFilter, kFilterLinear));
    put(device.SetSamplerState(0, SamplerState::MaxAnisotropy, 4));
    put(device.SetTransform(TransformState::View, nullptr));
    Ref<VertexBuffer> vb;
    Ref<IndexBuffer> ib;
    put(device.CreateVertexBuffer(0, 0, kFvfXyz, kPoolDefault, &vb));
    put(device.CreateVertexBuffer(96, 0, kFvfXyz, kPoolDefault, &vb));
    put(device.CreateIndexBuffer(12, 0, kFmtIndex16, kPoolDefault, &ib));
    void* data = nullptr;
    put(ib->Lock(0, 0, &data, 0));
    const std::uint16_t indices[6] = {0, 1, 2, 2, 1, 7};
    std::memcpy(data, indices, sizeof indices);
    put(ib->Unlock());
    put(device.SetStreamSource(0, vb.get(), 0, 12));
    put(device.DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 8, 0, 1));  // no indices set
    put(device.SetIndices(ib.get()));
    put(device.DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 8, 0, 2));
    put(device.DrawIndexedPrimitive(PrimitiveType::TriangleList, 1, 0, 8, 0, 2));  // index 7 past the end
    put(device.DrawPrimitive(PrimitiveType::TriangleList, 6, 1));                  // past the end
    const std::uint32_t pixels[4] = {};
    Ref<Texture> texture;
    put(device.CreateTexture(2, 2, nullptr, &texture));
    put(device.CreateTexture(2, 2, pixels, &texture));
    put(device.SetTexture(8, texture.get()));
    put(device.SetTexture(0, texture.get()));
    krovane::formats::EffectFile file;
    std::string error;
    krovane::formats::parseEffectFile(
        "uniform float f; vertex V { void main() {} } fragment F { out vec4 c; void main() {} }\n"
        "technique T { pass P { VertexShader = V; PixelShader = F; ZWriteEnable = false; } }",
        file, error);
    Ref<Effect> effect;
    put(Effect::create(&device, file, "t.fx", &effect, error));
    std::uint32_t passes = 0;
    put(effect->SetFloat("f", 1.0f));
    put(effect->SetFloat("g", 1.0f));
    put(effect->BeginPass(0));
    put(effect->Begin(&passes, 0));
    put(effect->BeginPass(0));
    put(device.DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 8, 0, 2));
    put(effect->EndPass());
    put(effect->End());
    put(effect->End());
    return out;
}

TEST(NullDevice, AnswersEveryCallAsTheOtherDevicesAndKeepsTheState) {
    Ref<NullDevice> null = NullDevice::create();
    Ref<RecordingDevice> recording = RecordingDevice::create();
    const std::vector<Result> expected = script(*recording);
    EXPECT_EQ(script(*null), expected);
    EXPECT_GT(std::count(expected.begin(), expected.end(), kInvalidCall), 10);
    EXPECT_EQ(null->samplerState(0, SamplerState::MaxAnisotropy), 4u);
    EXPECT_EQ(null->renderState(RenderState::ZWriteEnable), 1u);  // put back by End
    EXPECT_EQ(null->texture(0), nullptr);                         // the texture went with the script
    std::vector<std::uint32_t> pixels;
    std::uint32_t w = 1, h = 1;
    EXPECT_EQ(null->ReadPixels(pixels, w, h), kNotAvailable);
}

}  // namespace
