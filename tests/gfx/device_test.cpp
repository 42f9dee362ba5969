// The checks and state every device backend shares, seen through the recording device; handle counts; lines and
// boxes; geometry against values worked out by hand; mip chains filtered as a linear blit filters.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <tuple>

#include "../recorded_reports.h"
#include "gfx/geometry.h"
#include "gfx/index_buffer.h"
#include "gfx/line_drawing.h"
#include "gfx/mip_chain.h"
#include "gfx/recording_device.h"
#include "gfx/shader_program.h"
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
    // A call's result, the check its record names and the check wanted (None: the call is valid).
    struct Step {
        Result result;
        DeviceCheck named, wanted;
    };
    Step step(Result result, DeviceCheck wanted) { return {result, device->calls().back().check, wanted}; }
    static void expectSteps(std::initializer_list<Step> steps) {
        int i = 0;
        for (const Step& s : steps) {
            EXPECT_EQ(s.named, s.wanted) << "step " << i << ": " << message(s.named);
            EXPECT_EQ(s.result, s.wanted == DeviceCheck::None ? kOk : kInvalidCall) << "step " << i;
            ++i;
        }
    }
};

// Every refused call is kInvalidCall and names the rule it broke; the steps run in order, each on the state the ones
// before left.
TEST_F(DeviceChecks, EveryRefusalNamesItsCheck) {
    using C = DeviceCheck;
    using P = PrimitiveType;
    Ref<RecordingDevice> other = RecordingDevice::create();  // resources of another device are refused
    Ref<Texture> texture, foreignTexture;
    Ref<VertexBuffer> vb, foreignVb;
    Ref<IndexBuffer> ib, foreignIb;
    Ref<ShaderProgram> foreignProgram;
    const std::uint32_t pixels[16] = {};
    std::string log;
    other->CreateTexture(4, 4, pixels, &foreignTexture);
    other->CreateVertexBuffer(80, 0, 0, kPoolDefault, &foreignVb);
    other->CreateIndexBuffer(12, 0, kFmtIndex16, kPoolDefault, &foreignIb);
    other->CreateShaderProgram("", "", &foreignProgram, log);
    const float v[7] = {0, 0, 0, 0, 0, 0, 1};
    const Matrix m = kIdentityMatrix;
    const std::uint32_t tooMany = (1u << 24) + 1;
    expectSteps({
        step(device->DrawPrimitiveUP(P::PointList, 1, v, 28), C::DrawPrimitiveUPOutsideScene),
        step(device->DrawPrimitive(P::PointList, 0, 1), C::DrawPrimitiveOutsideScene),
        step(device->DrawIndexedPrimitive(P::PointList, 0, 0, 1, 0, 1), C::DrawIndexedPrimitiveOutsideScene),
        step(device->EndScene(), C::EndSceneOutsideScene),
        step(device->Clear(1, nullptr, kClearTarget, 0, 1, 0), C::ClearRects),
        step(device->Clear(0, nullptr, 4, 0, 1, 0), C::ClearFlags),
        step(device->SetRenderState(static_cast<RenderState>(12345), 1), C::SetRenderStateUnknown),
        step(device->SetSamplerState(8, SamplerState::MinFilter, kFilterAnisotropic), C::SetSamplerStateStage),
        step(device->SetSamplerState(0, static_cast<SamplerState>(4), 0), C::SetSamplerStateUnknown),
        step(device->SetTransform(TransformState::View, nullptr), C::SetTransformNull),
        step(device->SetTransform(static_cast<TransformState>(1), &m), C::SetTransformUnknown),
        step(device->SetMaterial(nullptr), C::SetMaterialNull),
        step(device->SetTexture(0, foreignTexture.get()), C::SetTextureForeign),
        step(device->SetStreamSource(1, nullptr, 0, 20), C::SetStreamSourceStream),
        step(device->SetStreamSource(0, foreignVb.get(), 0, 20), C::SetStreamSourceForeign),
        step(device->SetIndices(foreignIb.get()), C::SetIndicesForeign),
        step(device->SetShaderProgram(foreignProgram.get()), C::SetShaderProgramForeign),
        step(device->CreateVertexBuffer(0, 0, 0, kPoolDefault, &vb), C::CreateVertexBufferNull),
        step(device->CreateIndexBuffer(12, 0, kFmtIndex16, kPoolDefault, nullptr), C::CreateIndexBufferNull),
        step(device->CreateIndexBuffer(8, 0, 0, kPoolDefault, &ib), C::CreateIndexBufferFormat),
        step(device->CreateIndexBuffer(7, 0, kFmtIndex16, kPoolDefault, &ib), C::CreateIndexBufferLength),
        step(device->CreateTexture(4, 4, nullptr, &texture), C::CreateTextureNull),
        step(device->CreateTexture(0, 4, pixels, &texture), C::CreateTextureSize),
        step(device->CreateTexture(kMaxTextureSize + 1, 1, pixels, &texture, 20), C::CreateTextureSize),
        step(device->CreateTexture(4, 4, pixels, &texture, 4), C::CreateTextureLevels),  // 4, 2, 1: three levels
        step(device->CreateTexture(4, 4, pixels, &texture), C::None),
        step(device->SetTexture(8, texture.get()), C::SetTextureStage),
        step(device->CreateVertexBuffer(80, 0, kFvfXyzRhw | kFvfDiffuse, kPoolDefault, &vb), C::None),
        step(device->CreateIndexBuffer(12, 0, kFmtIndex16, kPoolDefault, &ib), C::None),
        step(device->BeginScene(), C::None),
        step(device->BeginScene(), C::BeginSceneInScene),
        step(device->Present(), C::PresentInScene),
        step(device->DrawPrimitiveUP(P::PointList, 1, nullptr, 28), C::DrawPrimitiveUPNull),
        step(device->DrawPrimitiveUP(P::PointList, 1, v, 0), C::DrawPrimitiveUPNull),
        step(device->DrawPrimitiveUP(P::PointList, tooMany, v, 28), C::DrawPrimitiveUPTooMany),
        step(device->DrawPrimitiveUP(P::PointList, 1, v, 28), C::None),
        step(device->DrawPrimitiveUP(P::LineList, 0, v, 28), C::None),  // nothing to draw
        step(device->DrawPrimitiveUP(static_cast<P>(7), 1, v, 28), C::DrawPrimitiveUPType),
        step(device->DrawPrimitive(P::TriangleStrip, 0, 2), C::DrawPrimitiveNoStream),
        step(device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 0, 2), C::DrawIndexedPrimitiveNoStream),
    });
    const float first[20] = {42.0f};
    fill(vb, first, sizeof first);
    const std::uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
    fill(ib, indices, sizeof indices);
    expectSteps({
        step(device->SetStreamSource(0, vb.get(), 0, 20), C::None),
        step(device->DrawPrimitive(P::TriangleStrip, 0, 2), C::DrawPrimitiveLocked),
        step(device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 0, 2), C::DrawIndexedPrimitiveNoIndices),
        step(device->SetIndices(ib.get()), C::None),
        step(device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 0, 2), C::DrawIndexedPrimitiveLocked),
    });
    EXPECT_EQ(vb->Unlock(), kOk);
    EXPECT_EQ(vb->Unlock(), kInvalidCall);
    expectSteps({
        step(device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 0, 2), C::DrawIndexedPrimitiveLocked),
        step(device->DrawPrimitive(P::TriangleStrip, 1, 2), C::DrawPrimitivePastStream),
        step(device->DrawPrimitive(P::TriangleList, 0, 0xFFFFFFFF), C::DrawPrimitiveTooMany),
        step(device->DrawPrimitive(static_cast<P>(0), 0, 2), C::DrawPrimitiveType),
        step(device->DrawPrimitive(P::TriangleStrip, 0, 2), C::None),
    });
    EXPECT_EQ(device->calls().back().floats()[0], 42.0f);  // the draw read the buffer
    ASSERT_EQ(ib->Unlock(), kOk);
    expectSteps({
        step(device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 0, 2), C::None),
        step(device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 3, 1), C::None),
        step(device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 0, 0), C::None),
        step(device->DrawIndexedPrimitive(static_cast<P>(9), 0, 0, 4, 0, 2), C::DrawIndexedPrimitiveType),
        step(device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 3, 2), C::DrawIndexedPrimitivePastIndices),
        // The buffer's largest index, 3, names a fifth vertex from base 1.
        step(device->DrawIndexedPrimitive(P::TriangleList, 1, 0, 4, 0, 1), C::DrawIndexedPrimitivePastStream),
        step(device->DrawIndexedPrimitive(P::TriangleList, -1, 0, 4, 0, 1), C::DrawIndexedPrimitiveBaseBelowZero),
        step(device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 0, tooMany), C::DrawIndexedPrimitiveTooMany),
        // Released buffers unbind themselves: drawing is refused, not a use after free.
        step((ib.reset(), device->DrawIndexedPrimitive(P::TriangleList, 0, 0, 4, 0, 2)),
             C::DrawIndexedPrimitiveNoIndices),
        step((vb.reset(), device->DrawPrimitive(P::TriangleStrip, 0, 2)), C::DrawPrimitiveNoStream),
        step(device->SetRenderState(RenderState::FillMode, kFillWireframe), C::None),
        step(device->SetTransform(TransformState::World, &m), C::None),
        step(device->EndScene(), C::None),
        step(device->Present(), C::None),
    });
    EXPECT_EQ(device->renderState(RenderState::FillMode), kFillWireframe);  // kept
    EXPECT_EQ(
        (std::vector<std::uint64_t>{Device::vertexCount(P::LineStrip, 3), Device::vertexCount(P::LineList, 12),
                                    Device::vertexCount(P::TriangleList, 2), Device::vertexCount(P::TriangleFan, 2)}),
        (std::vector<std::uint64_t>{4, 24, 6, 4}));
}

// Debug builds report the first failed check of each frame as a debug line; release builds report nothing.
TEST_F(DeviceChecks, TheFirstFailedCheckOfEachFrameIsReportedInDebugBuilds) {
    Ref<ShaderProgram> program;
    std::string log;
    krovane::test::RecordedReports reports;
    device->SetMaterial(nullptr);
    device->EndScene();  // a second failure in the frame
    device->Present();
    device->Present();  // a frame without failures
    device->CreateShaderProgram(nullptr, "", &program, log);
    device->Present();
    using Kind = krovane::platform::ReportKind;
    const decltype(reports.lines) debug = {{Kind::Debug, "device: SetMaterial: null material"},
                                           {Kind::Debug, "device: CreateShaderProgram: null handle or source"}};
    EXPECT_EQ(reports.lines, kDeviceChecksReported ? debug : decltype(debug){});
}

TEST_F(DeviceChecks, TransformsStartAsIdentityAndReleasingTheDeviceFirstIsSafe) {
    EXPECT_EQ(device->transform(TransformState::View).m[0][0], 1.0f);  // identity until set
    void* data = nullptr;
    const std::uint32_t pixels[16] = {};
    Ref<Texture> texture;
    ASSERT_EQ(device->CreateTexture(4, 4, pixels, &texture), kOk);
    EXPECT_EQ(device->SetTexture(0, texture.get()), kOk);
    Ref<VertexBuffer> vb;
    device->CreateVertexBuffer(28, 0, 0, kPoolDefault, &vb);
    EXPECT_EQ(vb->Lock(0, 100, &data, 0), kInvalidCall);  // past the end
    ASSERT_EQ(vb->Lock(0, 0, &data, 0), kOk);
    EXPECT_EQ(vb->Lock(0, 0, &data, 0), kInvalidCall);  // already locked
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
    const Vector3 up{0, 1, 0};
    // Eye at (0, 0, -10) looking at the origin: the axes stay, the origin is 10 ahead.
    expectMatrix(lookAtLH({0, 0, -10}, {0, 0, 0}, up), {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 10, 1}});
    // Looking along +X from (5, 2, 0): z = (1,0,0), x = up x z = (0,0,-1), y = (0,1,0).
    expectMatrix(lookAtLH({5, 2, 0}, {6, 2, 0}, up), {{0, 0, 1, 0}, {0, 1, 0, 0}, {-1, 0, 0, 0}, {0, -2, -5, 1}});
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
    EXPECT_EQ(normalize({0, 0, 0}).x, 0.0f);  // stays zero rather than NaN
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
        std::vector<std::uint32_t> pixels, smaller;  // the picture, and the levels made from it
    } cases[] = {{2, 2, 2, {0xFF000010, 0xFF000020, 0xFF000030, 0x01000043}, {0xC0000029}},
                 {4, 1, 3, {0x00, 0x10, 0x20, 0x40}, {0x08, 0x30, 0x1C}},  // a side at 1 stays 1
                 {3, 3, 2, {1, 2, 3, 4, 0x55, 6, 7, 8, 9}, {0x55}}};
    for (const auto& c : cases) {
        std::uint32_t levels = 0;
        std::vector<std::uint32_t> chain = c.pixels;
        chain.insert(chain.end(), c.smaller.begin(), c.smaller.end());
        EXPECT_EQ(makeMipChain(c.width, c.height, c.pixels.data(), levels), chain) << c.width << " x " << c.height;
        EXPECT_EQ(levels, c.levels);
    }
}

}  // namespace
