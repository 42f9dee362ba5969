#include "gfx/device.h"

#include <array>
#include <string>

#include "formats/image_file.h"  // mipChainPixels: the size of a texture's pixels

#include "gfx/geometry.h"
#include "gfx/index_buffer.h"
#include "gfx/shader_program.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"
#include "platform/reporter.h"

namespace krovane::gfx {

namespace {

constexpr const Matrix& kIdentity = kIdentityMatrix;

// Primitive counts past this are refused: no real draw comes near it, and it
// keeps vertex counts and byte sizes far from overflowing.
constexpr std::uint32_t kMaxPrimitives = 1u << 24;

int transformSlot(TransformState state) {
    switch (state) {
        case TransformState::World:
            return 0;
        case TransformState::View:
            return 1;
        case TransformState::Projection:
            return 2;
    }
    return -1;
}

}  // namespace

// Render states the device keeps, with their values before anything is set.
struct TrackedState {
    RenderState state;
    std::uint32_t initial;
};
static constexpr TrackedState kTracked[] = {
    {RenderState::ZEnable, 1},                // depth test on: devices are made with a depth buffer
    {RenderState::FillMode, kFillSolid},      //
    {RenderState::ZWriteEnable, 1},           //
    {RenderState::SrcBlend, 2},               // one
    {RenderState::DestBlend, 1},              // zero
    {RenderState::CullMode, kCullNone},       // nothing culled until a mode is set
    {RenderState::ZFunc, 4},                  // less or equal
    {RenderState::AlphaBlendEnable, 0},       //
    {RenderState::Lighting, 1},               //
    {RenderState::Ambient, 0},                // black
    {RenderState::MultisampleAntialias, 1},   //
    {RenderState::BlendOp, 1},                // add
    {RenderState::AntialiasedLineEnable, 0},  //
};

// The slot of each render state by its number (-1: not kept): every draw looks states up.
static constexpr auto kSlots = [] {
    std::array<std::int8_t, 256> slots{};
    for (std::int8_t& slot : slots) slot = -1;
    for (std::size_t i = 0; i < std::size(kTracked); ++i)
        slots[static_cast<std::uint32_t>(kTracked[i].state)] = static_cast<std::int8_t>(i);
    return slots;
}();

int Device::stateSlot(RenderState state) {
    const auto number = static_cast<std::uint32_t>(state);
    return number < kSlots.size() ? kSlots[number] : -1;
}

Ref<Device> Device::create(std::unique_ptr<DeviceBackend> backend) {
    return Ref<Device>::adopt(new Device(std::move(backend)));
}

Device::Device(std::unique_ptr<DeviceBackend> backend)
    : backend_(std::move(backend)), recordCalls_(backend_->recordsCalls()), material_{} {
    static_assert(sizeof kTracked / sizeof kTracked[0] == kTrackedStates, "one slot per tracked render state");
    for (int i = 0; i < kTrackedStates; ++i) renderStates_[i] = kTracked[i].initial;
    for (Matrix& m : transforms_) m = kIdentity;
    for (auto& stage : samplerStates_) {
        for (std::uint32_t& filter : stage) filter = kFilterPoint;
        stage[samplerSlot(SamplerState::MaxAnisotropy)] = 1;
    }
}

int Device::samplerSlot(SamplerState state) {
    switch (state) {
        case SamplerState::MagFilter:
            return 0;
        case SamplerState::MinFilter:
            return 1;
        case SamplerState::MipFilter:
            return 2;
        case SamplerState::MaxAnisotropy:
            return 3;
    }
    return -1;
}

Result Device::ReadPixels(std::vector<std::uint32_t>& argb, std::uint32_t& width, std::uint32_t& height) {
    argb.clear();
    width = height = 0;
    return backend_->readPixels(argb, width, height);
}

std::uint32_t Device::samplerState(std::uint32_t sampler, SamplerState state) const {
    const int index = samplerSlot(state);
    return sampler < kTextureStages && index >= 0 ? samplerStates_[sampler][index] : 0;
}

Device::~Device() = default;

void Device::unbind(const void* resource) {
    for (Texture*& t : textures_)
        if (t == resource) t = nullptr;
    if (stream_ == resource) stream_ = nullptr;
    if (indices_ == resource) indices_ = nullptr;
    if (program_ == resource) program_ = nullptr;
}

Result Device::refuse(DeviceCall& call, DeviceCheck check) {
    call.check = check;
    return refuse(check);
}

Result Device::refuse(DeviceCheck check) {
    if (kDeviceChecksReported && !checkPrinted_) {
        checkPrinted_ = true;
        platform::report(platform::ReportKind::Debug, std::string("device: ") + message(check));
    }
    return kInvalidCall;
}

bool Device::knownType(PrimitiveType type) {
    return type >= PrimitiveType::PointList && type <= PrimitiveType::TriangleFan;
}

std::uint64_t Device::vertexCount(PrimitiveType type, std::uint32_t count) {
    if (count == 0) return 0;
    switch (type) {
        case PrimitiveType::PointList:
            return count;
        case PrimitiveType::LineList:
            return std::uint64_t{count} * 2;
        case PrimitiveType::LineStrip:
            return std::uint64_t{count} + 1;
        case PrimitiveType::TriangleList:
            return std::uint64_t{count} * 3;
        case PrimitiveType::TriangleStrip:
        case PrimitiveType::TriangleFan:
            return std::uint64_t{count} + 2;
    }
    return 0;
}

std::uint32_t Device::renderState(RenderState state) const {
    const int slot = stateSlot(state);
    return slot < 0 ? 0 : renderStates_[slot];
}

const Matrix& Device::transform(TransformState state) const {
    const int slot = transformSlot(state);
    return slot < 0 ? kIdentity : transforms_[slot];
}

Result Device::Clear(std::uint32_t rectCount, const Rect* rects, std::uint32_t flags, std::uint32_t color, float z,
                     std::uint32_t stencil) {
    DeviceCall call{DeviceOp::Clear, recordCalls_};
    call.args[0] = rectCount;
    call.args[1] = flags;
    call.args[2] = color;
    call.args[3] = stencil;
    call.z = z;
    // Clearing parts of the target is not offered: the engine always clears it whole.
    const DeviceCheck check = rectCount != 0 || rects != nullptr               ? DeviceCheck::ClearRects
                              : (flags & ~(kClearTarget | kClearZBuffer)) != 0 ? DeviceCheck::ClearFlags
                                                                               : DeviceCheck::None;
    call.result = check != DeviceCheck::None ? refuse(call, check) : backend_->clear(flags, color, z, stencil);
    record(call);
    return call.result;
}

Result Device::BeginScene() {
    DeviceCall call{DeviceOp::BeginScene, recordCalls_};
    call.result = inScene_ ? refuse(call, DeviceCheck::BeginSceneInScene) : kOk;
    if (call.result == kOk) inScene_ = true;
    record(call);
    return call.result;
}

Result Device::EndScene() {
    DeviceCall call{DeviceOp::EndScene, recordCalls_};
    call.result = inScene_ ? kOk : refuse(call, DeviceCheck::EndSceneOutsideScene);
    inScene_ = false;
    record(call);
    return call.result;
}

Result Device::Present() {
    DeviceCall call{DeviceOp::Present, recordCalls_};
    call.result = inScene_ ? refuse(call, DeviceCheck::PresentInScene) : backend_->present();
    checkPrinted_ = false;
    record(call);
    return call.result;
}

Result Device::SetRenderState(RenderState state, std::uint32_t value) {
    DeviceCall call{DeviceOp::SetRenderState, recordCalls_};
    call.args[0] = static_cast<std::uint32_t>(state);
    call.args[1] = value;
    const int slot = stateSlot(state);
    if (slot < 0)
        call.result = refuse(call, DeviceCheck::SetRenderStateUnknown);
    else
        renderStates_[slot] = value;
    record(call);
    return call.result;
}

Result Device::SetSamplerState(std::uint32_t sampler, SamplerState state, std::uint32_t value) {
    DeviceCall call{DeviceOp::SetSamplerState, recordCalls_};
    call.args[0] = sampler;
    call.args[1] = static_cast<std::uint32_t>(state);
    call.args[2] = value;
    const int index = samplerSlot(state);
    if (sampler >= kTextureStages || index < 0)
        call.result = refuse(
            call, sampler >= kTextureStages ? DeviceCheck::SetSamplerStateStage : DeviceCheck::SetSamplerStateUnknown);
    else
        samplerStates_[sampler][index] = value;
    record(call);
    return call.result;
}

Result Device::SetTransform(TransformState state, const Matrix* matrix) {
    DeviceCall call{DeviceOp::SetTransform, recordCalls_};
    call.args[0] = static_cast<std::uint32_t>(state);
    call.matrix = matrix;
    const int slot = transformSlot(state);
    if (matrix == nullptr || slot < 0)
        call.result =
            refuse(call, matrix == nullptr ? DeviceCheck::SetTransformNull : DeviceCheck::SetTransformUnknown);
    else
        transforms_[slot] = *matrix;
    record(call);
    return call.result;
}

Result Device::SetMaterial(const Material* material) {
    DeviceCall call{DeviceOp::SetMaterial, recordCalls_};
    call.material = material;
    if (material == nullptr)
        call.result = refuse(call, DeviceCheck::SetMaterialNull);
    else
        material_ = *material;
    record(call);
    return call.result;
}

Result Device::SetTexture(std::uint32_t stage, Texture* texture) {
    DeviceCall call{DeviceOp::SetTexture, recordCalls_};
    call.args[0] = stage;
    call.object = texture;
    if (stage >= kTextureStages || (texture != nullptr && texture->device() != this)) {
        call.result =
            refuse(call, stage >= kTextureStages ? DeviceCheck::SetTextureStage : DeviceCheck::SetTextureForeign);
    } else {
        textures_[stage] = texture;
    }
    record(call);
    return call.result;
}

Result Device::SetFVF(std::uint32_t fvf) {
    DeviceCall call{DeviceOp::SetFVF, recordCalls_};
    call.args[0] = fvf;
    fvf_ = fvf;
    record(call);
    return call.result;
}

Result Device::SetStreamSource(std::uint32_t stream, VertexBuffer* buffer, std::uint32_t offset, std::uint32_t stride) {
    DeviceCall call{DeviceOp::SetStreamSource, recordCalls_};
    call.args[0] = stream;
    call.args[1] = offset;
    call.args[2] = stride;
    call.object = buffer;
    if (stream != 0 || (buffer != nullptr && buffer->device() != this)) {
        call.result =
            refuse(call, stream != 0 ? DeviceCheck::SetStreamSourceStream : DeviceCheck::SetStreamSourceForeign);
    } else {
        stream_ = buffer;
        streamOffset_ = offset;
        streamStride_ = stride;
    }
    record(call);
    return call.result;
}

Result Device::SetIndices(IndexBuffer* indices) {
    DeviceCall call{DeviceOp::SetIndices, recordCalls_};
    call.object = indices;
    if (indices != nullptr && indices->device() != this)
        call.result = refuse(call, DeviceCheck::SetIndicesForeign);
    else
        indices_ = indices;
    record(call);
    return call.result;
}

Result Device::CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t format, std::uint32_t pool,
                                 Ref<IndexBuffer>* buffer) {
    DeviceCall call{DeviceOp::CreateIndexBuffer, recordCalls_};
    call.args[0] = length;
    call.args[1] = usage;
    call.args[2] = format;
    call.args[3] = pool;
    const std::uint32_t size = format == kFmtIndex16 ? 2 : format == kFmtIndex32 ? 4 : 0;
    const DeviceCheck check = buffer == nullptr || length == 0 ? DeviceCheck::CreateIndexBufferNull
                              : size == 0                      ? DeviceCheck::CreateIndexBufferFormat
                              : length % size != 0             ? DeviceCheck::CreateIndexBufferLength
                                                               : DeviceCheck::None;
    if (check != DeviceCheck::None) {
        call.result = refuse(call, check);
    } else {
        buffer->reset();
        call.result = backend_->createIndexBuffer(*this, length, size, buffer);
        call.object = buffer->get();
    }
    record(call);
    return call.result;
}

Result Device::CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, std::uint32_t pool,
                                  Ref<VertexBuffer>* buffer) {
    DeviceCall call{DeviceOp::CreateVertexBuffer, recordCalls_};
    call.args[0] = length;
    call.args[1] = usage;
    call.args[2] = fvf;
    call.args[3] = pool;
    if (buffer == nullptr || length == 0) {
        call.result = refuse(call, DeviceCheck::CreateVertexBufferNull);
    } else {
        buffer->reset();
        call.result = backend_->createVertexBuffer(*this, length, fvf, buffer);
        call.object = buffer->get();
    }
    record(call);
    return call.result;
}

Result Device::CreateTexture(std::uint32_t width, std::uint32_t height, const std::uint32_t* pixels,
                             Ref<Texture>* texture, std::uint32_t levels) {
    DeviceCall call{DeviceOp::CreateTexture, recordCalls_};
    call.args[0] = width;
    call.args[1] = height;
    call.args[2] = levels;
    // A chain longer than halving can make (down to 1 x 1) is not one.
    std::uint32_t longest = 1;
    for (std::uint32_t side = width > height ? width : height; side > 1; side /= 2) ++longest;
    const DeviceCheck check = texture == nullptr || pixels == nullptr ? DeviceCheck::CreateTextureNull
                              : width == 0 || height == 0 || width > kMaxTextureSize || height > kMaxTextureSize
                                  ? DeviceCheck::CreateTextureSize
                              : levels > longest ? DeviceCheck::CreateTextureLevels
                                                 : DeviceCheck::None;
    if (check != DeviceCheck::None) {
        call.result = refuse(call, check);
    } else {
        texture->reset();
        call.result = backend_->createTexture(*this, width, height, levels > 1 ? levels : 1, pixels, texture);
        call.object = texture->get();
        call.vertices = pixels;  // recorded like vertex data, for tests of what was uploaded
        call.vertexBytes = static_cast<std::uint32_t>(formats::mipChainPixels(width, height, levels) * 4);
    }
    record(call);
    return call.result;
}

Result Device::CreateShaderProgram(const char* vertexSource, const char* fragmentSource, Ref<ShaderProgram>* program,
                                   std::string& log) {
    log.clear();
    if (program == nullptr || vertexSource == nullptr || fragmentSource == nullptr)
        return refuse(DeviceCheck::CreateShaderProgramNull);
    program->reset();
    return backend_->createShaderProgram(*this, vertexSource, fragmentSource, program, log);
}

Result Device::SetShaderProgram(ShaderProgram* program) {
    DeviceCall call{DeviceOp::SetShaderProgram, recordCalls_};
    call.object = program;
    if (program != nullptr && program->device() != this)
        call.result = refuse(call, DeviceCheck::SetShaderProgramForeign);
    else
        program_ = program;
    record(call);
    return call.result;
}

Result Device::DrawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount) {
    DeviceCall call{DeviceOp::DrawPrimitive, recordCalls_};
    call.args[0] = static_cast<std::uint32_t>(type);
    call.args[1] = startVertex;
    call.args[2] = primitiveCount;
    call.args[6] = renderState(RenderState::CullMode);
    call.object = stream_;
    const std::uint64_t vertices = vertexCount(type, primitiveCount);
    const std::uint64_t first = std::uint64_t{streamOffset_} + std::uint64_t{startVertex} * streamStride_;
    // The first rule broken, in the order of device_check.h.
    const DeviceCheck check = !inScene_                                  ? DeviceCheck::DrawPrimitiveOutsideScene
                              : !knownType(type)                         ? DeviceCheck::DrawPrimitiveType
                              : stream_ == nullptr || streamStride_ == 0 ? DeviceCheck::DrawPrimitiveNoStream
                              : stream_->locked()                        ? DeviceCheck::DrawPrimitiveLocked
                              : primitiveCount > kMaxPrimitives          ? DeviceCheck::DrawPrimitiveTooMany
                              : first + vertices * streamStride_ > stream_->length()
                                  ? DeviceCheck::DrawPrimitivePastStream
                                  : DeviceCheck::None;
    if (check != DeviceCheck::None) {
        call.result = refuse(call, check);
    } else if (vertices > 0) {
        call.vertices = stream_->bytes() + first;
        call.vertexBytes = static_cast<std::uint32_t>(vertices * streamStride_);
        call.result = backend_->draw(*this, {type, static_cast<std::uint32_t>(vertices), call.vertices, streamStride_,
                                             VertexLayout::Format, stream_, static_cast<std::uint32_t>(first)});
    }
    record(call);
    return call.result;
}

Result Device::DrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex,
                                    std::uint32_t vertexCount, std::uint32_t startIndex, std::uint32_t primitiveCount) {
    DeviceCall call{DeviceOp::DrawIndexedPrimitive, recordCalls_};
    call.args[0] = static_cast<std::uint32_t>(type);
    call.args[1] = static_cast<std::uint32_t>(baseVertex);
    call.args[2] = minIndex;
    call.args[3] = vertexCount;
    call.args[4] = startIndex;
    call.args[5] = primitiveCount;
    call.args[6] = renderState(RenderState::CullMode);
    call.object = indices_;
    const std::uint64_t count = Device::vertexCount(type, primitiveCount);
    const std::int64_t base = std::int64_t{streamOffset_} + std::int64_t{baseVertex} * streamStride_;
    // The first rule broken, in the order of device_check.h. Every index of
    // the buffer must name a vertex inside the stream (the buffer knows its
    // largest, so a draw checks this in constant time).
    const DeviceCheck check =
        !inScene_                                                    ? DeviceCheck::DrawIndexedPrimitiveOutsideScene
        : !knownType(type)                                           ? DeviceCheck::DrawIndexedPrimitiveType
        : stream_ == nullptr || streamStride_ == 0                   ? DeviceCheck::DrawIndexedPrimitiveNoStream
        : indices_ == nullptr                                        ? DeviceCheck::DrawIndexedPrimitiveNoIndices
        : stream_->locked() || indices_->locked()                    ? DeviceCheck::DrawIndexedPrimitiveLocked
        : primitiveCount > kMaxPrimitives                            ? DeviceCheck::DrawIndexedPrimitiveTooMany
        : base < 0                                                   ? DeviceCheck::DrawIndexedPrimitiveBaseBelowZero
        : std::uint64_t{startIndex} + count > indices_->indexCount() ? DeviceCheck::DrawIndexedPrimitivePastIndices
        : count > 0 && static_cast<std::uint64_t>(base) + (std::uint64_t{indices_->maxIndex()} + 1) * streamStride_ >
                           stream_->length()
            ? DeviceCheck::DrawIndexedPrimitivePastStream
            : DeviceCheck::None;
    if (check != DeviceCheck::None) {
        call.result = refuse(call, check);
    } else if (count > 0) {
        call.vertices = indices_->bytes() + std::size_t{startIndex} * indices_->indexSize();
        call.vertexBytes = static_cast<std::uint32_t>(count * indices_->indexSize());
        call.result = backend_->drawIndexed(*this, {type, *stream_, static_cast<std::uint32_t>(base), streamStride_,
                                                    *indices_, startIndex, static_cast<std::uint32_t>(count)});
    }
    record(call);
    return call.result;
}

Result Device::DrawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices,
                               std::uint32_t stride, VertexLayout layout) {
    DeviceCall call{DeviceOp::DrawPrimitiveUP, recordCalls_};
    call.args[6] = renderState(RenderState::CullMode);
    call.args[0] = static_cast<std::uint32_t>(type);
    call.args[1] = primitiveCount;
    call.args[2] = stride;
    const std::uint64_t count = vertexCount(type, primitiveCount);
    const DeviceCheck check = !inScene_                            ? DeviceCheck::DrawPrimitiveUPOutsideScene
                              : !knownType(type)                   ? DeviceCheck::DrawPrimitiveUPType
                              : vertices == nullptr || stride == 0 ? DeviceCheck::DrawPrimitiveUPNull
                              : primitiveCount > kMaxPrimitives    ? DeviceCheck::DrawPrimitiveUPTooMany
                                                                   : DeviceCheck::None;
    if (check != DeviceCheck::None) {
        call.result = refuse(call, check);
    } else if (count > 0) {
        call.vertices = vertices;
        call.vertexBytes = static_cast<std::uint32_t>(count * stride);
        call.result =
            backend_->draw(*this, {type, static_cast<std::uint32_t>(count), vertices, stride, layout, nullptr, 0});
    }
    record(call);
    return call.result;
}

}  // namespace krovane::gfx
