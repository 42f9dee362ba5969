// The null device: the recording device's answers to a script of valid and invalid calls, and nothing drawn or kept
// of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "gfx/effect.h"
#include "gfx/index_buffer.h"
#include "gfx/null_device.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"

namespace {

using namespace krovane::gfx;
using P = PrimitiveType;

// Scenes, states, buffers and their bounds, textures and an effect; every result in order.
std::vector<Result> script(Device& device) {
    const float line[7] = {0, 0, 0, 0, 0, 0, 1};
    const std::uint16_t indices[6] = {0, 1, 2, 2, 1, 7};
    const std::uint32_t pixels[4] = {};
    Ref<VertexBuffer> vb;
    Ref<IndexBuffer> ib;
    Ref<Texture> texture;
    void* data = nullptr;
    std::vector<Result> out = {device.DrawPrimitiveUP(P::PointList, 1, line, 28),
                               device.BeginScene(),
                               device.BeginScene(),
                               device.DrawPrimitiveUP(P::PointList, 1, line, 0),
                               device.SetSamplerState(0, SamplerState::MaxAnisotropy, 4),
                               device.CreateVertexBuffer(0, 0, kFvfXyz, kPoolDefault, &vb),
                               device.CreateVertexBuffer(96, 0, kFvfXyz, kPoolDefault, &vb),
                               device.CreateIndexBuffer(12, 0, kFmtIndex16, kPoolDefault, &ib),
                               ib->Lock(0, 0, &data, 0)};
    std::memcpy(data, indices, sizeof indices);
    krovane::formats::EffectFile file;
    std::string error;
    krovane::formats::parseEffectFile(
        "uniform float f; vertex V { void main() {} } fragment F { out vec4 c; void main() {} }\n"
        "technique T { pass P { VertexShader = V; PixelShader = F; ZWriteEnable = false; } }",
        file, error);
    Ref<Effect> effect;
    std::uint32_t passes = 0;
    out.insert(out.end(), {ib->Unlock(),
                           device.SetStreamSource(0, vb.get(), 0, 12),
                           device.DrawIndexedPrimitive(P::TriangleList, 0, 0, 8, 0, 1),  // no indices set
                           device.SetIndices(ib.get()),
                           device.DrawIndexedPrimitive(P::TriangleList, 0, 0, 8, 0, 2),
                           device.DrawIndexedPrimitive(P::TriangleList, 1, 0, 8, 0, 2),  // index 7 past the end
                           device.DrawPrimitive(P::TriangleList, 6, 1),
                           device.CreateTexture(2, 2, nullptr, &texture),
                           device.CreateTexture(2, 2, pixels, &texture),
                           device.SetTexture(0, texture.get()),
                           Effect::create(&device, file, "t.fx", &effect, error),
                           effect->SetFloat("f", 1.0f),
                           effect->SetFloat("g", 1.0f),
                           effect->BeginPass(0),
                           effect->Begin(&passes, 0),
                           effect->BeginPass(0),
                           device.DrawIndexedPrimitive(P::TriangleList, 0, 0, 8, 0, 2),
                           effect->EndPass(),
                           effect->End(),
                           effect->End()});
    return out;
}

TEST(NullDevice, AnswersEveryCallAsTheOtherDevicesAndKeepsTheState) {
    Ref<Device> null = createNullDevice();
    Ref<RecordingDevice> recording = RecordingDevice::create();
    const std::vector<Result> expected = script(*recording);
    EXPECT_EQ(script(*null), expected);
    EXPECT_GT(std::count(expected.begin(), expected.end(), kInvalidCall), 10);
    EXPECT_EQ(null->texture(0), nullptr);  // the texture went with the script
    std::vector<std::uint32_t> pixels;
    std::uint32_t w = 1, h = 1;
    EXPECT_EQ(null->ReadPixels(pixels, w, h), kNotAvailable);
}

}  // namespace
