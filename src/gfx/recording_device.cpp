#include "gfx/recording_device.h"

#include <cstring>

namespace krovane::gfx {

std::vector<float> RecordedCall::floats() const {
    std::vector<float> out(vertices.size() / sizeof(float));
    if (!out.empty()) std::memcpy(out.data(), vertices.data(), out.size() * sizeof(float));
    return out;
}

RecordingDevice::RecordingDevice() { recordCalls_ = true; }

Ref<RecordingDevice> RecordingDevice::create() { return Ref<RecordingDevice>::adopt(new RecordingDevice); }

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
