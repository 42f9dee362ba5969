// The checks and state every device backend shares, seen through the recording device.
#include <gtest/gtest.h>

#include <cstring>

#include "gfx/index_buffer.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"

namespace {

using namespace krovane::gfx;

struct DeviceChecks : ::testing::Test {
    Ref<RecordingDevice> device = RecordingDevice::create();
};

TEST_F(DeviceChecks, ScenesPairAndDrawsNeedOne) {
    const float v[7] = {0, 0, 0, 0, 0, 0, 1};
    EXPECT_EQ(device->DrawPrimitiveUP(PrimitiveType::PointList, 1, v, 28), kInvalidCall);
    EXPECT_EQ(device->EndScene(), kInvalidCall);
    EXPECT_EQ(device->BeginScene(), kOk);
    EXPECT_EQ(device->BeginScene(), kInvalidCall);
    EXPECT_EQ(device->Present(), kInvalidCall);  // not inside a scene
    EXPECT_EQ(device->DrawPrimitiveUP(PrimitiveType::PointList, 1, v, 28), kOk);
    EXPECT_EQ(device->DrawPrimitiveUP(PrimitiveType::PointList, 1, nullptr, 28), kInvalidCall);
    EXPECT_EQ(device->DrawPrimitiveUP(PrimitiveType::PointList, 1, v, 0), kInvalidCall);
    EXPECT_EQ(device->DrawPrimitiveUP(PrimitiveType::LineList, 0, v, 28), kOk);  // nothing to draw
    EXPECT_EQ(device->EndScene(), kOk);
    EXPECT_EQ(device->Present(), kOk);
    const auto& calls = device->calls();
    ASSERT_EQ(calls.size(), 11u);
    EXPECT_EQ(calls[5].op, DeviceOp::DrawPrimitiveUP);
    EXPECT_EQ(calls[5].floats().size(), 7u);
    EXPECT_TRUE(calls[8].vertices.empty());
}

TEST_F(DeviceChecks, StateIsKeptForBackendsAndRecordedAsPassed) {
    EXPECT_EQ(device->renderState(RenderState::FillMode), kFillSolid);
    EXPECT_EQ(device->SetRenderState(RenderState::FillMode, kFillWireframe), kOk);
    EXPECT_EQ(device->renderState(RenderState::FillMode), kFillWireframe);
    EXPECT_EQ(device->SetRenderState(static_cast<RenderState>(12345), 1), kInvalidCall);

    Matrix m{};
    m.m[3][0] = 5.0f;
    EXPECT_EQ(device->SetTransform(TransformState::World, &m), kOk);
    EXPECT_EQ(device->transform(TransformState::World).m[3][0], 5.0f);
    EXPECT_EQ(device->transform(TransformState::View).m[0][0], 1.0f);  // identity until set
    EXPECT_EQ(device->SetTransform(TransformState::View, nullptr), kInvalidCall);
    EXPECT_EQ(device->SetMaterial(nullptr), kInvalidCall);
    EXPECT_EQ(device->SetSamplerState(8, SamplerState::MinFilter, kFilterAnisotropic), kInvalidCall);
    EXPECT_EQ(device->Clear(0, nullptr, kClearTarget | kClearZBuffer, 0xFF102030, 1.0f, 0), kOk);

    const auto& calls = device->calls();
    EXPECT_EQ(calls[0].args[0], 8u);  // states are recorded as their numbers
    EXPECT_EQ(calls[0].args[1], 2u);
    EXPECT_EQ(calls[1].result, kInvalidCall);
    ASSERT_TRUE(calls[2].matrix.has_value());
    EXPECT_EQ(calls[2].matrix->m[3][0], 5.0f);
    EXPECT_EQ(calls.back().args[2], 0xFF102030u);
    EXPECT_EQ(calls.back().z, 1.0f);
}

TEST_F(DeviceChecks, VertexBuffersLockWithinBoundsAndDrawFromTheStream) {
    Ref<VertexBuffer> vb;
    ASSERT_EQ(device->CreateVertexBuffer(80, 0, kFvfXyzRhw | kFvfDiffuse, kPoolDefault, &vb), kOk);
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(0, 100, &data, 0), kInvalidCall);
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), kOk);
    void* again = nullptr;
    EXPECT_EQ(vb->Lock(0, 0, &again, 0), kInvalidCall);  // already locked
    EXPECT_EQ(again, nullptr);
    std::memset(data, 0, 80);
    static_cast<float*>(data)[0] = 42.0f;
    ASSERT_EQ(device->BeginScene(), kOk);
    ASSERT_EQ(device->SetStreamSource(0, vb.get(), 0, 20), kOk);
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleStrip, 0, 2), kInvalidCall);  // still locked
    EXPECT_EQ(vb->Unlock(), kOk);
    EXPECT_EQ(vb->Unlock(), kInvalidCall);
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleStrip, 0, 2), kOk);
    EXPECT_EQ(device->calls().back().floats()[0], 42.0f);
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleStrip, 1, 2), kInvalidCall);  // past the end
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleList, 0, 0xFFFFFFFF), kInvalidCall);
    device->EndScene();
    vb.reset();
    // The buffer unbound itself: drawing from the stream is refused, not a use after free.
    device->BeginScene();
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleStrip, 0, 2), kInvalidCall);
    device->EndScene();
}

// Indexed draws: the indices drawn must lie inside the index buffer, and
// every index it holds must name a vertex inside the stream from the base
// vertex given; a released index buffer unbinds itself.
TEST_F(DeviceChecks, IndexedDrawsStayInsideTheirBuffers) {
    Ref<VertexBuffer> vb;
    Ref<IndexBuffer> ib;
    void* data = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(4 * 20, 0, kFvfXyzRhw | kFvfDiffuse, kPoolDefault, &vb), kOk);
    EXPECT_EQ(device->CreateIndexBuffer(7, 0, kFmtIndex16, kPoolDefault, &ib), kInvalidCall);  // half an index
    EXPECT_EQ(device->CreateIndexBuffer(8, 0, 0, kPoolDefault, &ib), kInvalidCall);            // no format
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, kFmtIndex16, kPoolDefault, &ib), kOk);
    ASSERT_EQ(ib->Lock(0, 0, &data, 0), kOk);
    const std::uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    std::memcpy(data, indices, sizeof indices);
    ASSERT_EQ(device->BeginScene(), kOk);
    ASSERT_EQ(device->SetStreamSource(0, vb.get(), 0, 20), kOk);
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), kInvalidCall);  // no indices
    ASSERT_EQ(device->SetIndices(ib.get()), kOk);
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), kInvalidCall);  // locked
    ASSERT_EQ(ib->Unlock(), kOk);
    const struct {
        std::int32_t baseVertex;
        std::uint32_t startIndex, triangles;
        Result result;
    } cases[] = {
        {0, 0, 2, kOk},           {0, 3, 1, kOk},           {0, 3, 2, kInvalidCall},  // past the indices
        {1, 0, 1, kInvalidCall},  // the buffer's largest index, 3, names a fifth vertex from base 1
        {-1, 0, 1, kInvalidCall}, {0, 0, 0, kOk},
    };
    for (const auto& c : cases)
        EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, c.baseVertex, 0, 4, c.startIndex,
                                               c.triangles),
                  c.result)
            << c.baseVertex << " " << c.startIndex << " " << c.triangles;
    device->EndScene();
    ib.reset();
    device->BeginScene();
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), kInvalidCall);
    device->EndScene();
    vb.reset();
}

TEST_F(DeviceChecks, ReleasingTheDeviceFirstIsSafe) {
    const std::uint32_t pixels[16] = {};
    Ref<Texture> texture;
    ASSERT_EQ(device->CreateTexture(4, 4, pixels, &texture), kOk);
    EXPECT_EQ(device->CreateTexture(0, 4, pixels, &texture), kInvalidCall);
    EXPECT_EQ(device->CreateTexture(4, 4, nullptr, &texture), kInvalidCall);
    EXPECT_EQ(device->CreateTexture(kMaxTextureSize + 1, 1, pixels, &texture), kInvalidCall);
    EXPECT_EQ(device->SetTexture(0, texture.get()), kOk);
    EXPECT_EQ(device->texture(0), texture.get());
    EXPECT_EQ(device->SetTexture(8, texture.get()), kInvalidCall);
    Ref<VertexBuffer> vb;
    device->CreateVertexBuffer(28, 0, 0, kPoolDefault, &vb);
    const Device* raw = device.get();
    device.reset();
    EXPECT_EQ(raw->references(), 2u);  // the texture and the buffer keep it
    texture.reset();
    EXPECT_EQ(raw->texture(0), nullptr);
    vb.reset();  // the last reference: the device goes with it
}

// The handle's copies, moves and reassignments each leave the count right.
TEST(DeviceHandles, CopiesAddMovesHandOverAndReassignmentReleases) {
    Ref<RecordingDevice> device = RecordingDevice::create();
    const Device* raw = device.get();
    Ref<Device> copy = device;  // to a base handle
    EXPECT_EQ(raw->references(), 2u);
    Ref<Device> moved = std::move(copy);
    EXPECT_FALSE(copy);
    EXPECT_EQ(raw->references(), 2u);
    moved = moved;  // self-assignment keeps it
    EXPECT_EQ(raw->references(), 2u);
    moved = nullptr;
    EXPECT_EQ(raw->references(), 1u);
    EXPECT_EQ(device.get(), raw);
}

TEST(DeviceVertexCounts, PerPrimitiveType) {
    EXPECT_EQ(Device::vertexCount(PrimitiveType::PointList, 5), 5u);
    EXPECT_EQ(Device::vertexCount(PrimitiveType::LineList, 12), 24u);
    EXPECT_EQ(Device::vertexCount(PrimitiveType::LineStrip, 3), 4u);
    EXPECT_EQ(Device::vertexCount(PrimitiveType::TriangleList, 2), 6u);
    EXPECT_EQ(Device::vertexCount(PrimitiveType::TriangleStrip, 2), 4u);
    EXPECT_EQ(Device::vertexCount(PrimitiveType::TriangleFan, 0), 0u);
}

}  // namespace
