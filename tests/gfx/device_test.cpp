// The checks and state every device backend shares, seen through the recording device; handle counts; lines and
// boxes; geometry against values worked out by hand; mip chains filtered as a linear blit filters.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <tuple>

#include "gfx/geometry.h"
#include "gfx/index_buffer.h"
#include "gfx/line_drawing.h"
#include "gfx/mip_chain.h"
#include "gfx/recording_device.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"

namespace {

using namespace krovane::gfx;

struct DeviceChecks : ::testing::Test {
    Ref<RecordingDevice> device = RecordingDevice::create();
    // Locks the whole buffer and copies `bytes` in, leaving it locked.
    template <class Buffer>
    void fill(Buffer& buffer, const void* bytes, std::size_t size) {
        void* data = nullptr;
        ASSERT_EQ(buffer->Lock(0, 0, &data, 0), kOk);
        std::memcpy(data, bytes, size);
    }
};

TEST_F(DeviceChecks, ScenesPairDrawsNeedOneAndStateIsKept) {
    const float v[7] = {0, 0, 0, 0, 0, 0, 1};
    const struct {
        Result got, wanted;
    } calls[] = {  // in order: a draw and Present only inside and outside a scene, scenes not nested
        {device->DrawPrimitiveUP(PrimitiveType::PointList, 1, v, 28), kInvalidCall}, {device->EndScene(), kInvalidCall},
        {device->BeginScene(), kOk}, {device->BeginScene(), kInvalidCall}, {device->Present(), kInvalidCall},
        {device->DrawPrimitiveUP(PrimitiveType::PointList, 1, v, 28), kOk},
        {device->DrawPrimitiveUP(PrimitiveType::PointList, 1, nullptr, 28), kInvalidCall},
        {device->DrawPrimitiveUP(PrimitiveType::PointList, 1, v, 0), kInvalidCall},
        {device->DrawPrimitiveUP(PrimitiveType::LineList, 0, v, 28), kOk},  // nothing to draw
        {device->SetRenderState(RenderState::FillMode, kFillWireframe), kOk},
        {device->SetRenderState(static_cast<RenderState>(12345), 1), kInvalidCall},
        {device->SetTransform(TransformState::View, nullptr), kInvalidCall},
        {device->SetMaterial(nullptr), kInvalidCall},
        {device->SetSamplerState(8, SamplerState::MinFilter, kFilterAnisotropic), kInvalidCall},
        {device->EndScene(), kOk}, {device->Present(), kOk}};
    for (std::size_t i = 0; i < std::size(calls); ++i) EXPECT_EQ(calls[i].got, calls[i].wanted) << "call " << i;
    EXPECT_EQ(device->renderState(RenderState::FillMode), kFillWireframe);
    Matrix m{};
    m.m[3][0] = 5.0f;
    EXPECT_EQ(device->SetTransform(TransformState::World, &m), kOk);
    EXPECT_EQ(device->transform(TransformState::World).m[3][0], 5.0f);
    EXPECT_EQ(device->transform(TransformState::View).m[0][0], 1.0f);  // identity until set
}

TEST_F(DeviceChecks, DrawsStayInsideTheirBuffers) {
    Ref<VertexBuffer> vb;
    Ref<IndexBuffer> ib;
    ASSERT_EQ(device->CreateVertexBuffer(80, 0, kFvfXyzRhw | kFvfDiffuse, kPoolDefault, &vb), kOk);
    void* data = nullptr;
    EXPECT_EQ(vb->Lock(0, 100, &data, 0), kInvalidCall);
    const float first[20] = {42.0f};
    fill(vb, first, sizeof first);
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), kInvalidCall);  // already locked
    ASSERT_EQ(device->BeginScene(), kOk);
    ASSERT_EQ(device->SetStreamSource(0, vb.get(), 0, 20), kOk);
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleStrip, 0, 2), kInvalidCall);  // still locked
    EXPECT_EQ(vb->Unlock(), kOk);
    EXPECT_EQ(vb->Unlock(), kInvalidCall);
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleStrip, 0, 2), kOk);
    EXPECT_EQ(device->calls().back().floats()[0], 42.0f);
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleStrip, 1, 2), kInvalidCall);  // past the end
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleList, 0, 0xFFFFFFFF), kInvalidCall);

    EXPECT_EQ(device->CreateIndexBuffer(7, 0, kFmtIndex16, kPoolDefault, &ib), kInvalidCall);  // half an index
    EXPECT_EQ(device->CreateIndexBuffer(8, 0, 0, kPoolDefault, &ib), kInvalidCall);            // no format
    ASSERT_EQ(device->CreateIndexBuffer(12, 0, kFmtIndex16, kPoolDefault, &ib), kOk);
    const std::uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    fill(ib, indices, sizeof indices);
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), kInvalidCall);  // no indices
    ASSERT_EQ(device->SetIndices(ib.get()), kOk);
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), kInvalidCall);  // locked
    ASSERT_EQ(ib->Unlock(), kOk);
    const struct {
        std::int32_t baseVertex;
        std::uint32_t startIndex, triangles;
        Result result;
    } cases[] = {{0, 0, 2, kOk}, {0, 3, 1, kOk}, {0, 3, 2, kInvalidCall},  // past the indices
                 {1, 0, 1, kInvalidCall},  // the buffer's largest index, 3, names a fifth vertex from base 1
                 {-1, 0, 1, kInvalidCall}, {0, 0, 0, kOk}};
    for (const auto& c : cases)
        EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, c.baseVertex, 0, 4, c.startIndex, c.triangles),
                  c.result)
            << c.baseVertex << " " << c.startIndex << " " << c.triangles;
    // Released buffers unbind themselves: drawing is refused, not a use after free.
    ib.reset();
    EXPECT_EQ(device->DrawIndexedPrimitive(PrimitiveType::TriangleList, 0, 0, 4, 0, 2), kInvalidCall);
    vb.reset();
    EXPECT_EQ(device->DrawPrimitive(PrimitiveType::TriangleStrip, 0, 2), kInvalidCall);
    EXPECT_EQ(Device::vertexCount(PrimitiveType::LineStrip, 3) * 100 + Device::vertexCount(PrimitiveType::LineList, 12),
              424u);
    EXPECT_EQ(Device::vertexCount(PrimitiveType::TriangleList, 2) * 100 + Device::vertexCount(PrimitiveType::TriangleStrip, 2),
              604u);
}

TEST_F(DeviceChecks, TexturesAreCheckedAndReleasingTheDeviceFirstIsSafe) {
    const std::uint32_t pixels[16] = {};
    Ref<Texture> texture;
    for (const Result r : {device->CreateTexture(0, 4, pixels, &texture), device->CreateTexture(4, 4, nullptr, &texture),
                           device->CreateTexture(kMaxTextureSize + 1, 1, pixels, &texture)})
        EXPECT_EQ(r, kInvalidCall);
    ASSERT_EQ(device->CreateTexture(4, 4, pixels, &texture), kOk);
    EXPECT_EQ(device->SetTexture(8, texture.get()), kInvalidCall);
    EXPECT_EQ(device->SetTexture(0, texture.get()), kOk);
    Ref<VertexBuffer> vb;
    device->CreateVertexBuffer(28, 0, 0, kPoolDefault, &vb);
    const Device* raw = device.get();
    Ref<Device> copy = device;  // a base handle: copies add, moves hand over, reassignment releases
    Ref<Device> moved = std::move(copy);
    EXPECT_FALSE(copy);
    moved = moved;
    EXPECT_EQ(raw->references(), 4u);
    moved = nullptr;
    device.reset();
    EXPECT_EQ(raw->references(), 2u);  // the texture and the buffer keep it
    texture.reset();
    EXPECT_EQ(raw->texture(0), nullptr);
    vb.reset();  // the last reference: the device goes with it
}

// Lines and boxes: one draw of seven-float vertices (x, y, z, 0, 0, 0, 1); a box is the twelve edges between its
// corners, in either corner order.
TEST_F(DeviceChecks, LinesAndBoxes) {
    using Segment = std::array<float, 6>;
    // The segments of the last draw, each from its lower end, sorted.
    const auto drawn = [&] {
        const RecordedCall& call = device->calls().back();
        EXPECT_EQ(call.args[0] * 100 + call.args[2], static_cast<std::uint32_t>(PrimitiveType::LineList) * 100 + 28);
        const std::vector<float> f = call.floats();
        std::vector<Segment> out;
        for (std::size_t i = 0; i + 14 <= f.size(); i += 14) {
            EXPECT_TRUE(f[i + 3] == 0 && f[i + 4] == 0 && f[i + 5] == 0 && f[i + 6] == 1 && f[i + 13] == 1);
            Segment e{f[i], f[i + 1], f[i + 2], f[i + 7], f[i + 8], f[i + 9]};
            if (std::lexicographical_compare(e.begin() + 3, e.end(), e.begin(), e.begin() + 3))
                std::rotate(e.begin(), e.begin() + 3, e.end());
            out.push_back(e);
        }
        std::sort(out.begin(), out.end());
        return out;
    };
    device->BeginScene();
    EXPECT_EQ(DrawLine(4, 5, 6, 1, 2, 3, device.get()), kOk);
    EXPECT_EQ(device->calls().size(), 2u);  // BeginScene and the draw: no state set
    EXPECT_EQ(drawn(), (std::vector<Segment>{{1, 2, 3, 4, 5, 6}}));
    const float low[3] = {-1, -2, -3}, high[3] = {4, 5, 6};
    std::vector<Segment> box;  // from each corner along each axis where it is low
    for (int c = 0; c < 8; ++c)
        for (int k = 0; k < 3; ++k) {
            Segment e;
            for (int a = 0; a < 3; ++a) e[a] = e[a + 3] = c >> a & 1 ? high[a] : low[a];
            e[3 + k] = high[k];
            if (~c >> k & 1) box.push_back(e);
        }
    std::sort(box.begin(), box.end());
    EXPECT_EQ(DrawBox(4, 5, 6, -1, -2, -3, device.get()), kOk);
    EXPECT_EQ(drawn(), box);
    EXPECT_EQ(DrawBox(-1, -2, -3, 4, 5, 6, device.get()), kOk);
    EXPECT_EQ(drawn(), box);
    EXPECT_EQ(DrawLine(0, 0, 0, 1, 1, 1, nullptr), kInvalidCall);
    EXPECT_EQ(DrawBox(0, 0, 0, 1, 1, 1, nullptr), kInvalidCall);
}

void expectMatrix(const Matrix& m, const float (&expected)[4][4]) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(m.m[i / 4][i % 4], expected[i / 4][i % 4], 1e-5f) << "at " << i;
}

TEST(Geometry, CameraMatricesRotationsAndProducts) {
    // Eye at (0, 0, -10) looking at the origin: the axes stay, the origin is 10 ahead.
    expectMatrix(lookAtLH({0, 0, -10}, {0, 0, 0}, {0, 1, 0}), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 10, 1}});
    // Looking along +X from (5, 2, 0): z = (1,0,0), x = up x z = (0,0,-1), y = (0,1,0).
    expectMatrix(lookAtLH({5, 2, 0}, {6, 2, 0}, {0, 1, 0}), {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, -2, -5, 1}});
    // 45 degrees, 4:3, near 1, far 15000: yScale = cot(22.5 deg), xScale = yScale * 3/4; depth 0 to 1.
    const Matrix p = perspectiveFovLH(0.7853982f, 1.3333334f, 1.0f, 15000.0f);
    expectMatrix(p, {{1.8106602f, 0, 0, 0}, {0, 2.4142136f, 0, 0}, {0, 0, 1.0000667f, 1}, {0, 0, -1.0000667f, 0}});
    // A quarter turn about +Y takes +Z to the right (left-handed); the axis need not be normalised.
    const float tenDegrees = 10.0f * 3.14159265f / 180.0f;
    const std::tuple<Vector3, float, Vector3> turns[] = {{{0, 1, 0}, 1.5707964f, {1, 0, 0}},
                                                         {{0, 3, 0}, tenDegrees, {0.17364818f, 0, 0.98480775f}},
                                                         {{-1, 0, 0}, tenDegrees, {0, 0.17364818f, 0.98480775f}}};
    for (const auto& [axis, angle, to] : turns) {
        const Vector3 r = transformCoord({0, 0, 1}, rotationAxis(axis, angle));
        EXPECT_NEAR(std::fabs(r.x - to.x) + std::fabs(r.y - to.y) + std::fabs(r.z - to.z), 0.0f, 3e-6f);
    }
    EXPECT_NEAR(normalize({3, 0, 4}).x, 0.6f, 1e-6f);
    EXPECT_EQ(normalize({0, 0, 0}).x, 0.0f);  // stays zero rather than NaN
    EXPECT_EQ(cross({1, 0, 0}, {0, 1, 0}).z, 1.0f);
    Matrix t = kIdentityMatrix, s = kIdentityMatrix;
    t.m[3][0] = 5;  // a translation, applied after the scale
    s.m[0][0] = 2;
    EXPECT_EQ(transformCoord({1, 0, 0}, multiply(s, t)).x, 7.0f);
    EXPECT_EQ(transformCoord({1, 0, 0}, multiply(t, s)).x, 12.0f);
}

// Levels halve down to 1 x 1; each texel is the rounded mean of 2 x 2 for even sides, the bilinear sample at the
// texel's centre otherwise.
TEST(MipChain, LevelsHalveDownToOneTexelFilteredLikeALinearBlit) {
    const struct {
        std::uint32_t width, height, levels;
        std::vector<std::uint32_t> pixels, chain;
    } cases[] = {
        {2, 2, 2, {0xFF000010, 0xFF000020, 0xFF000030, 0x01000043}, {0xFF000010, 0xFF000020, 0xFF000030, 0x01000043, 0xC0000029}},
        {4, 1, 3, {0x00, 0x10, 0x20, 0x40}, {0x00, 0x10, 0x20, 0x40, 0x08, 0x30, 0x1C}},  // a side at 1 stays 1
        {3, 3, 2, {1, 2, 3, 4, 0x55, 6, 7, 8, 9}, {1, 2, 3, 4, 0x55, 6, 7, 8, 9, 0x55}}};
    for (const auto& c : cases) {
        std::uint32_t levels = 0;
        EXPECT_EQ(makeMipChain(c.width, c.height, c.pixels.data(), levels), c.chain) << c.width << " x " << c.height;
        EXPECT_EQ(levels, c.levels);
    }
}

}  // namespace
