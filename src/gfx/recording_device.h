// RecordingDevice: a null device (draws nothing; its resources exist and
// behave but hold no image) that keeps every call made on it, with its
// arguments and result, so that tests can check exactly what a frame, a
// marker or a console box issued.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gfx/null_device.h"

namespace krovane::gfx {

// A call as recorded: the DeviceCall with what it pointed at copied.
struct RecordedCall {
    DeviceOp op;
    DeviceCheck check;  // the check a refused call failed
    Result result;
    std::uint32_t args[7];
    float z;
    std::optional<Matrix> matrix;
    std::optional<Material> material;
    const void* object;
    std::vector<std::uint8_t> vertices;
    std::string name;  // an effect's technique or parameter name
    float values[4];   // an effect's vector or float value

    // The vertex bytes read as floats (for the line vertex: 7 per vertex).
    std::vector<float> floats() const;
};

class RecordingDevice final : public NullDevice {
public:
    // A new device, owned by the handle returned.
    static Ref<RecordingDevice> create();

    const std::vector<RecordedCall>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

protected:
    void onRecord(const DeviceCall& call) override;

private:
    RecordingDevice();
    std::vector<RecordedCall> calls_;
};

}  // namespace krovane::gfx
