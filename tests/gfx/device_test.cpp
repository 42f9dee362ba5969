// The checks and state every device backend shares, seen through the recording device and the null device; handle
// counts; lines and boxes; the geometry and mip chains the devices take.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <vector>

#include "../recorded_reports.h"
#include "gfx/geometry.h"
#include "gfx/index_buffer.h"
#include "gfx/line_drawing.h"
#include "gfx/mip_chain.h"
#include "gfx/null_device.h"
#include "gfx/recording_device.h"
#include "gfx/shader_program.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"

namespace {

using namespace krovane::gfx;

// A fresh device for each rule, recording or null, with what the rule's call needs.
struct Bench {
    explicit Bench(bool null = false) : d(null ? createNullDevice() : Ref<Device>(rec = RecordingDevice::create())) {}
    Ref<RecordingDevice> rec;  // none on the null device
    Ref<Device> d;
    Ref<VertexBuffer> vb;
    Ref<IndexBuffer> ib;
    Ref<Texture> texture;
    Ref<ShaderProgram> program;
    static constexpr std::uint32_t kPixels[16] = {};

    // One of each resource.
    Bench& made() {
        std::string log;
        d->CreateTexture(4, 4, kPixels, &texture);
        d->CreateVertexBuffer(80, 0, kFvfXyzRhw | kFvfDiffuse, kPoolDefault, &vb);
        d->CreateIndexBuffer(12, 0, kFmtIndex16, kPoolDefault, &ib);
        d->CreateShaderProgram("", "", &program, log);
        return *this;
    }
    Bench& scene() { return d->BeginScene(), *this; }
    // In a scene with a stream of four 20-byte vertices (the first float 42) and six indices set, each buffer set
    // while locked and left locked when asked.
    Bench& set(bool vbLocked = false, bool ibLocked = false) {
        made().scene();
        const float first[20] = {42.0f};
        const std::uint16_t indices[6] = {0, 1, 2, 2, 1, 3};
        void* data = nullptr;
        vb->Lock(0, 0, &data, 0);
        std::memcpy(data, first, sizeof first);
        ib->Lock(0, 0, &data, 0);
        std::memcpy(data, indices, sizeof indices);
        EXPECT_EQ(d->SetStreamSource(0, vb.get(), 0, 20) | d->SetIndices(ib.get()), kOk);
        if (!vbLocked) vb->Unlock();
        if (!ibLocked) ib->Unlock();
        return *this;
    }
    // An indexed draw over the four vertices.
    Result indexed(std::int32_t base, std::uint32_t start, std::uint32_t count, PrimitiveType type = kList) {
        return d->DrawIndexedPrimitive(type, base, 0, 4, start, count);
    }
    static constexpr PrimitiveType kList = PrimitiveType::TriangleList;
};

// Every refused call is kInvalidCall and names the rule it broke; each rule on a device of its own. The null device,
// which keeps no calls, answers each as the recording device does.
TEST(DeviceChecks, EveryRefusalNamesItsCheck) {
    using C = DeviceCheck;
    using P = PrimitiveType;
    static const float v[7] = {0, 0, 0, 0, 0, 0, 1};
    static const Matrix m = kIdentityMatrix;
    static const std::uint32_t* const px = Bench::kPixels;
    constexpr std::uint32_t tooMany = (1u << 24) + 1;
    constexpr P list = P::TriangleList, strip = P::TriangleStrip;
    const std::pair<DeviceCheck, Result (*)(Bench&)> rules[] = {
        // clang-format off
        {C::DrawPrimitiveUPOutsideScene, [](Bench& b) { return b.d->DrawPrimitiveUP(P::PointList, 1, v, 28); }},
        {C::DrawPrimitiveOutsideScene, [](Bench& b) { return b.set().d->EndScene(), b.d->DrawPrimitive(strip, 0, 2); }},
        {C::DrawIndexedPrimitiveOutsideScene, [](Bench& b) { return b.set().d->EndScene(), b.indexed(0, 0, 2); }},
        {C::EndSceneOutsideScene, [](Bench& b) { return b.d->EndScene(); }},
        {C::ClearRects, [](Bench& b) { return b.d->Clear(1, nullptr, kClearTarget, 0, 1, 0); }},
        {C::ClearFlags, [](Bench& b) { return b.d->Clear(0, nullptr, 4, 0, 1, 0); }},
        {C::SetRenderStateUnknown, [](Bench& b) { return b.d->SetRenderState(static_cast<RenderState>(12345), 1); }},
        {C::SetSamplerStateStage, [](Bench& b) { return b.d->SetSamplerState(8, SamplerState::MinFilter, 3); }},
        {C::SetSamplerStateUnknown, [](Bench& b) { return b.d->SetSamplerState(0, static_cast<SamplerState>(4), 0); }},
        {C::SetTransformNull, [](Bench& b) { return b.d->SetTransform(TransformState::View, nullptr); }},
        {C::SetTransformUnknown, [](Bench& b) { return b.d->SetTransform(static_cast<TransformState>(1), &m); }},
        {C::SetMaterialNull, [](Bench& b) { return b.d->SetMaterial(nullptr); }},
        // Resources of another device are refused.
        {C::SetTextureForeign, [](Bench& b) { Bench o; return b.d->SetTexture(0, o.made().texture.get()); }},
        {C::SetStreamSourceForeign, [](Bench& b) { Bench o; return b.d->SetStreamSource(0, o.made().vb.get(), 0, 8); }},
        {C::SetIndicesForeign, [](Bench& b) { Bench o; return b.d->SetIndices(o.made().ib.get()); }},
        {C::SetShaderProgramForeign, [](Bench& b) { Bench o; return b.d->SetShaderProgram(o.made().program.get()); }},
        {C::SetTextureStage, [](Bench& b) { return b.d->SetTexture(8, b.made().texture.get()); }},
        {C::SetStreamSourceStream, [](Bench& b) { return b.d->SetStreamSource(1, b.made().vb.get(), 0, 20); }},
        {C::CreateVertexBufferNull, [](Bench& b) { return b.d->CreateVertexBuffer(0, 0, 0, kPoolDefault, &b.vb); }},
        {C::CreateIndexBufferNull, [](Bench& b) { return b.d->CreateIndexBuffer(12, 0, kFmtIndex16, 0, nullptr); }},
        {C::CreateIndexBufferFormat, [](Bench& b) { return b.d->CreateIndexBuffer(8, 0, 0, kPoolDefault, &b.ib); }},
        {C::CreateIndexBufferLength, [](Bench& b) { return b.d->CreateIndexBuffer(7, 0, kFmtIndex16, 0, &b.ib); }},
        {C::CreateTextureNull, [](Bench& b) { return b.d->CreateTexture(4, 4, nullptr, &b.texture); }},
        {C::CreateTextureSize, [](Bench& b) { return b.d->CreateTexture(0, 4, px, &b.texture); }},
        {C::CreateTextureSize, [](Bench& b) { return b.d->CreateTexture(kMaxTextureSize + 1, 1, px, &b.texture, 20); }},
        {C::CreateTextureLevels, [](Bench& b) { return b.d->CreateTexture(4, 4, px, &b.texture, 4); }},  // 4, 2, 1
        {C::BeginSceneInScene, [](Bench& b) { return b.scene().d->BeginScene(); }},
        {C::PresentInScene, [](Bench& b) { return b.scene().d->Present(); }},
        {C::DrawPrimitiveUPNull, [](Bench& b) { return b.scene().d->DrawPrimitiveUP(P::PointList, 1, nullptr, 28); }},
        {C::DrawPrimitiveUPNull, [](Bench& b) { return b.scene().d->DrawPrimitiveUP(P::PointList, 1, v, 0); }},
        {C::DrawPrimitiveUPTooMany, [](Bench& b) { return b.scene().d->DrawPrimitiveUP(P::LineList, tooMany, v, 28); }},
        {C::DrawPrimitiveUPType, [](Bench& b) { return b.scene().d->DrawPrimitiveUP(static_cast<P>(7), 1, v, 28); }},
        {C::DrawPrimitiveNoStream, [](Bench& b) { return b.scene().d->DrawPrimitive(strip, 0, 2); }},
        {C::DrawIndexedPrimitiveNoStream, [](Bench& b) { return b.scene().indexed(0, 0, 2); }},
        {C::DrawIndexedPrimitiveNoIndices,
         [](Bench& b) { return b.made().scene().d->SetStreamSource(0, b.vb.get(), 0, 20), b.indexed(0, 0, 2); }},
        {C::DrawPrimitiveLocked, [](Bench& b) { return b.set(true).d->DrawPrimitive(strip, 0, 2); }},
        {C::DrawIndexedPrimitiveLocked, [](Bench& b) { return b.set(1).indexed(0, 0, 2); }},
        {C::DrawIndexedPrimitiveLocked, [](Bench& b) { return b.set(false, true).indexed(0, 0, 2); }},
        {C::DrawPrimitivePastStream, [](Bench& b) { return b.set().d->DrawPrimitive(strip, 1, 2); }},
        {C::DrawPrimitiveTooMany, [](Bench& b) { return b.set().d->DrawPrimitive(list, 0, 0xFFFFFFFF); }},
        {C::DrawPrimitiveType, [](Bench& b) { return b.set().d->DrawPrimitive(static_cast<P>(0), 0, 2); }},
        {C::DrawIndexedPrimitiveType, [](Bench& b) { return b.set().indexed(0, 0, 2, static_cast<P>(9)); }},
        {C::DrawIndexedPrimitivePastIndices, [](Bench& b) { return b.set().indexed(0, 3, 2); }},
        // The buffer's largest index, 3, names a fifth vertex from base 1.
        {C::DrawIndexedPrimitivePastStream, [](Bench& b) { return b.set().indexed(1, 0, 1); }},
        {C::DrawIndexedPrimitiveBaseBelowZero, [](Bench& b) { return b.set().indexed(-1, 0, 1); }},
        {C::DrawIndexedPrimitiveTooMany, [](Bench& b) { return b.set().indexed(0, 0, tooMany); }},
        // Released buffers unbind themselves: drawing is refused, not a use after free.
        {C::DrawIndexedPrimitiveNoIndices, [](Bench& b) { return b.set().ib.reset(), b.indexed(0, 0, 2); }},
        {C::DrawPrimitiveNoStream, [](Bench& b) { return b.set().vb.reset(), b.d->DrawPrimitive(strip, 0, 2); }},
        // Valid calls.
        {C::None, [](Bench& b) { return b.d->CreateTexture(4, 4, px, &b.texture); }},
        {C::None, [](Bench& b) { return b.made().d->SetTexture(0, b.texture.get()) | b.d->SetShaderProgram(
            b.program.get()) | b.d->SetStreamSource(0, b.vb.get(), 0, 20) | b.d->SetIndices(b.ib.get()); }},
        {C::None, [](Bench& b) { return b.scene().d->DrawPrimitiveUP(P::PointList, 1, v, 28); }},
        {C::None, [](Bench& b) { return b.scene().d->DrawPrimitiveUP(P::LineList, 0, v, 28); }},  // nothing to draw
        {C::None, [](Bench& b) {
            const Result r = b.set(false, true).d->DrawPrimitive(strip, 0, 2);
            EXPECT_TRUE(!b.rec || b.rec->calls().back().floats().at(0) == 42.0f);  // read from the buffer
            return r; }},
        {C::None, [](Bench& b) { return b.set().indexed(0, 0, 2); }},
        {C::None, [](Bench& b) { return b.set().indexed(0, 3, 1); }},  // the last index
        {C::None, [](Bench& b) { return b.set().indexed(0, 0, 0); }},  // nothing to draw
        {C::None, [](Bench& b) {  // a frame; its states outlive it
            Result r = b.scene().d->SetRenderState(RenderState::FillMode, kFillWireframe);
            r |= b.d->SetTransform(TransformState::World, &m) | b.d->EndScene() | b.d->Present();
            EXPECT_EQ(b.d->renderState(RenderState::FillMode), kFillWireframe);
            return r; }},
        // clang-format on
    };
    int row = 0;
    for (const auto& [wanted, call] : rules) {
        SCOPED_TRACE("row " + std::to_string(++row) + ", " + (wanted == C::None ? "valid" : message(wanted)));
        for (const bool null : {false, true}) {
            Bench bench(null);
            EXPECT_EQ(call(bench), wanted == C::None ? kOk : kInvalidCall) << (null ? "null device" : "recording");
            EXPECT_TRUE(null || bench.rec->calls().back().check == wanted) << message(bench.rec->calls().back().check);
        }
    }
}

TEST(DeviceChecks, VertexCountsOfEachPrimitiveType) {
    using P = PrimitiveType;
    EXPECT_EQ(
        (std::vector<std::uint64_t>{Device::vertexCount(P::LineStrip, 3), Device::vertexCount(P::LineList, 12),
                                    Device::vertexCount(P::TriangleList, 2), Device::vertexCount(P::TriangleFan, 2)}),
        (std::vector<std::uint64_t>{4, 24, 6, 4}));
}

struct DeviceChecksOnOne : ::testing::Test {
    Ref<RecordingDevice> device = RecordingDevice::create();
};

// Debug builds report the first failed check of each frame as a debug line; release builds report nothing.
TEST_F(DeviceChecksOnOne, TheFirstFailedCheckOfEachFrameIsReportedInDebugBuilds) {
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

TEST_F(DeviceChecksOnOne, TransformsStartAsIdentityAndReleasingTheDeviceFirstIsSafe) {
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
    EXPECT_EQ(vb->Unlock(), kOk);
    EXPECT_EQ(vb->Unlock(), kInvalidCall);  // not locked
    const Device* raw = device.get();
    device.reset();
    EXPECT_EQ(raw->references(), 2u);  // the texture and the buffer keep it
    texture.reset();
    EXPECT_EQ(raw->texture(0), nullptr);
    vb.reset();  // the last reference: the device goes with it
}

// Lines and boxes: one draw of seven-float vertices (x, y, z, 0, 0, 0, 1); a box is the twelve edges between its
// corners, in either corner order.
TEST_F(DeviceChecksOnOne, LinesAndBoxes) {
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

TEST(NullDevice, HasNoPixelsToRead) {
    std::vector<std::uint32_t> pixels;
    std::uint32_t w = 1, h = 1;
    EXPECT_EQ(createNullDevice()->ReadPixels(pixels, w, h), kNotAvailable);
}

// What the users of the geometry do not show: zero normalized stays zero, not NaN; a rotation's axis need not be unit
// (a quarter turn about +Y takes +Z to +X). (The turns of mouse look, products and the camera's matrices: the camera
// and golden frame tests.)
TEST(Geometry, ZeroNormalizedStaysZeroAndARotationsAxisNeedNotBeUnit) {
    EXPECT_EQ(normalize({0, 0, 0}).x, 0.0f);
    EXPECT_NEAR(transformCoord({0, 0, 1}, rotationAxis({0, 3, 0}, 1.5707964f)).x, 1.0f, 1e-6f);
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
