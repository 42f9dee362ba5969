#include "gfx/recording_device.h"

#include <cstring>

#include "gfx/null_device.h"

namespace krovane::gfx {

std::vector<float> RecordedCall::floats() const {
    std::vector<float> out(vertices.size() / sizeof(float));
    if (!out.empty()) std::memcpy(out.data(), vertices.data(), out.size() * sizeof(float));
    return out;
}

RecordingBackend::RecordingBackend(std::unique_ptr<DeviceBackend> inner)
    : inner_(inner ? std::move(inner) : std::make_unique<NullBackend>()) {}

Result RecordingBackend::clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil) {
    return inner_->clear(flags, color, z, stencil);
}
Result RecordingBackend::present() { return inner_->present(); }
Result RecordingBackend::createVertexBuffer(Device& device, std::uint32_t length, std::uint32_t fvf,
                                            Ref<VertexBuffer>* buffer) {
    return inner_->createVertexBuffer(device, length, fvf, buffer);
}
Result RecordingBackend::createIndexBuffer(Device& device, std::uint32_t length, std::uint32_t indexSize,
                                           Ref<IndexBuffer>* buffer) {
    return inner_->createIndexBuffer(device, length, indexSize, buffer);
}
Result RecordingBackend::createTexture(Device& device, std::uint32_t width, std::uint32_t height,
                                       std::uint32_t levels, const std::uint32_t* pixels, Ref<Texture>* texture) {
    return inner_->createTexture(device, width, height, levels, pixels, texture);
}
Result RecordingBackend::createShaderProgram(Device& device, const char* vertexSource, const char* fragmentSource,
                                             Ref<ShaderProgram>* program, std::string& log) {
    return inner_->createShaderProgram(device, vertexSource, fragmentSource, program, log);
}
Result RecordingBackend::draw(const Device& state, const DrawRequest& draw) { return inner_->draw(state, draw); }
Result RecordingBackend::drawIndexed(const Device& state, const IndexedDrawRequest& draw) {
    return inner_->drawIndexed(state, draw);
}
Result RecordingBackend::readPixels(std::vector<std::uint32_t>& argb, std::uint32_t& width, std::uint32_t& height) {
    return inner_->readPixels(argb, width, height);
}

Ref<RecordingDevice> RecordingDevice::create(std::unique_ptr<DeviceBackend> inner) {
    return Ref<RecordingDevice>::adopt(new RecordingDevice(std::make_unique<RecordingBackend>(std::move(inner))));
}

RecordingDevice::RecordingDevice(std::unique_ptr<RecordingBackend> backend)
    : Device(std::move(backend)), recorder_(static_cast<RecordingBackend&>(this->backend())) {}

void RecordingBackend::record(const DeviceCall& call) {
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
