// NullDevice: a device that draws nothing and records nothing. Every call is
// checked as on the other devices (the checks sit in Device) and keeps the
// device's state; its resources exist and behave (locking, binding,
// lifetime) but hold no image. For measuring the engine alone:
// benchmarks, and krovane-shot --null; the recording device is one that
// also keeps its calls.
#pragma once

#include <cstdint>
#include <string>

#include "gfx/device.h"

namespace krovane::gfx {

class NullDevice : public Device {
public:
    // A new device, owned by the handle returned.
    static Ref<NullDevice> create();

protected:
    Result onCreateVertexBuffer(std::uint32_t length, std::uint32_t fvf, Ref<VertexBuffer>* buffer) override;
    Result onCreateIndexBuffer(std::uint32_t length, std::uint32_t indexSize, Ref<IndexBuffer>* buffer) override;
    Result onCreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, const std::uint32_t* pixels,
                           Ref<Texture>* texture) override;
    Result onCreateShaderProgram(const char* vertexSource, const char* fragmentSource, Ref<ShaderProgram>* program,
                                 std::string& log) override;
    Result onDraw(PrimitiveType type, std::uint32_t vertexCount, const void* vertices, std::uint32_t stride,
                  const VertexBuffer* source, std::uint32_t sourceOffset) override;
    Result onDrawIndexed(PrimitiveType type, const VertexBuffer& source, std::uint32_t vertexBase, std::uint32_t stride,
                         const IndexBuffer& indices, std::uint32_t startIndex, std::uint32_t indexCount) override;

    NullDevice() = default;
};

}  // namespace krovane::gfx
