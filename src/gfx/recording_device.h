// RecordingDevice: a device that draws nothing and keeps every call made on
// it, with its arguments and result, so that tests can check exactly what a
// frame, a marker or a console box issued. Its resources exist and behave
// (locking, binding, lifetime) but hold no image.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gfx/device.h"

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

class RecordingDevice final : public Device {
public:
    // A new device, owned by the handle returned.
    static Ref<RecordingDevice> create();

    const std::vector<RecordedCall>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

protected:
    Result onCreateVertexBuffer(std::uint32_t length, std::uint32_t fvf, Ref<VertexBuffer>* buffer) override;
    Result onCreateIndexBuffer(std::uint32_t length, std::uint32_t indexSize, Ref<IndexBuffer>* buffer) override;
    Result onCreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, const std::uint32_t* pixels,
                           Ref<Texture>* texture) override;
    Result onCreateShaderProgram(const char* vertexSource, const char* fragmentSource, Ref<ShaderProgram>* program,
                                 std::string& log) override;
    Result onDraw(PrimitiveType type, std::uint32_t vertexCount, const void* vertices, std::uint32_t stride,
                  const VertexBuffer* source, std::uint32_t sourceOffset) override;
    Result onDrawIndexed(PrimitiveType type, const VertexBuffer& source, std::uint32_t vertexBase,
                         std::uint32_t stride, const IndexBuffer& indices, std::uint32_t startIndex,
                         std::uint32_t indexCount) override;
    void onRecord(const DeviceCall& call) override;

private:
    RecordingDevice();
    std::vector<RecordedCall> calls_;
};

}  // namespace krovane::gfx
