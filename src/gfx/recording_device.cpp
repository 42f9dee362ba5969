#include "gfx/recording_device.h"

#include <cstring>

#include "gfx/index_buffer.h"
#include "gfx/shader_program.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"

namespace krovane::gfx {

namespace {

class RecordingTexture final : public Texture {
public:
    RecordingTexture(Device* device, std::uint32_t width, std::uint32_t height) : Texture(device, width, height) {}
};

class RecordingVertexBuffer final : public VertexBuffer {
public:
    RecordingVertexBuffer(Device* device, std::uint32_t length, std::uint32_t fvf)
        : VertexBuffer(device, length, fvf) {}

protected:
    void upload(std::uint32_t, std::uint32_t) override {}
};

class RecordingIndexBuffer final : public IndexBuffer {
public:
    RecordingIndexBuffer(Device* device, std::uint32_t length, std::uint32_t indexSize)
        : IndexBuffer(device, length, indexSize) {}

protected:
    void upload(std::uint32_t, std::uint32_t) override {}
};

// A program that takes every uniform its sources declare and keeps no value:
// tests read what effects set from the recorded effect calls.
class RecordingShaderProgram final : public ShaderProgram {
public:
    explicit RecordingShaderProgram(Device* device) : ShaderProgram(device) {}
    std::int32_t uniformLocation(const char*) const override { return 0; }
    void setUniform(std::int32_t, UniformType, const float*) override {}
};

}  // namespace

std::vector<float> RecordedCall::floats() const {
    std::vector<float> out(vertices.size() / sizeof(float));
    if (!out.empty()) std::memcpy(out.data(), vertices.data(), out.size() * sizeof(float));
    return out;
}

RecordingDevice::RecordingDevice() { recordCalls_ = true; }

Ref<RecordingDevice> RecordingDevice::create() { return Ref<RecordingDevice>::adopt(new RecordingDevice); }

Result RecordingDevice::onCreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t, const std::uint32_t*,
                                        Ref<Texture>* texture) {
    *texture = Ref<Texture>::adopt(new RecordingTexture(this, width, height));
    return kOk;
}

Result RecordingDevice::onCreateVertexBuffer(std::uint32_t length, std::uint32_t fvf, Ref<VertexBuffer>* buffer) {
    *buffer = Ref<VertexBuffer>::adopt(new RecordingVertexBuffer(this, length, fvf));
    return kOk;
}

Result RecordingDevice::onCreateIndexBuffer(std::uint32_t length, std::uint32_t indexSize, Ref<IndexBuffer>* buffer) {
    *buffer = Ref<IndexBuffer>::adopt(new RecordingIndexBuffer(this, length, indexSize));
    return kOk;
}

Result RecordingDevice::onCreateShaderProgram(const char*, const char*, Ref<ShaderProgram>* program, std::string&) {
    *program = Ref<ShaderProgram>::adopt(new RecordingShaderProgram(this));
    return kOk;
}

Result RecordingDevice::onDraw(PrimitiveType, std::uint32_t, const void*, std::uint32_t, const VertexBuffer*,
                               std::uint32_t) {
    return kOk;
}

Result RecordingDevice::onDrawIndexed(PrimitiveType, const VertexBuffer&, std::uint32_t, std::uint32_t,
                                      const IndexBuffer&, std::uint32_t, std::uint32_t) {
    return kOk;
}

void RecordingDevice::onRecord(const DeviceCall& call) {
    RecordedCall r{call.op, call.check, call.result, {}, call.z, std::nullopt, std::nullopt, call.object, {}, {}, {}};
    std::memcpy(r.args, call.args, sizeof r.args);
    std::memcpy(r.values, call.values, sizeof r.values);
    if (call.name) r.name = call.name;
    if (call.matrix) r.matrix = *call.matrix;
    if (call.material) r.material = *call.material;
    if (call.vertices) {
        const auto* bytes = static_cast<const std::uint8_t*>(call.vertices);
        r.vertices.assign(bytes, bytes + call.vertexBytes);
    }
    calls_.push_back(std::move(r));
}

}  // namespace krovane::gfx
