// RecordingBackend: a backend that wraps another (null unless given one) and
// keeps every call made on the device, valid or refused, with its arguments
// and result, so that tests can check exactly what a frame, a marker or a
// console box issued. RecordingDevice is a device on it that shows the calls.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "gfx/device.h"
#include "gfx/device_backend.h"

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

class RecordingBackend final : public DeviceBackend {
public:
    explicit RecordingBackend(std::unique_ptr<DeviceBackend> inner);

    const std::vector<RecordedCall>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

    Result clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil) override;
    Result present() override;
    Result createVertexBuffer(Device& device, std::uint32_t length, std::uint32_t fvf,
                              Ref<VertexBuffer>* buffer) override;
    Result createIndexBuffer(Device& device, std::uint32_t length, std::uint32_t indexSize,
                             Ref<IndexBuffer>* buffer) override;
    Result createTexture(Device& device, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                         const std::uint32_t* pixels, Ref<Texture>* texture) override;
    Result createShaderProgram(Device& device, const char* vertexSource, const char* fragmentSource,
                               Ref<ShaderProgram>* program, std::string& log) override;
    Result draw(const Device& state, const DrawRequest& draw) override;
    Result drawIndexed(const Device& state, const IndexedDrawRequest& draw) override;
    Result readPixels(std::vector<std::uint32_t>& argb, std::uint32_t& width, std::uint32_t& height) override;
    bool recordsCalls() const override { return true; }
    void record(const DeviceCall& call) override;

private:
    std::unique_ptr<DeviceBackend> inner_;
    std::vector<RecordedCall> calls_;
};

// A device on a recording backend, with its calls in view.
class RecordingDevice final : public Device {
public:
    // A new device recording over `inner` (the null backend when none),
    // owned by the handle returned.
    static Ref<RecordingDevice> create(std::unique_ptr<DeviceBackend> inner = nullptr);

    const std::vector<RecordedCall>& calls() const { return recorder_.calls(); }
    void clearCalls() { recorder_.clearCalls(); }

private:
    explicit RecordingDevice(std::unique_ptr<RecordingBackend> backend);
    RecordingBackend& recorder_;
};

}  // namespace krovane::gfx
