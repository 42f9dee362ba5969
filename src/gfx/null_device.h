// NullBackend: a backend that draws nothing and keeps nothing. Every call is
// checked as on the other backends (the checks sit in Device) and keeps the
// device's state; its resources exist and behave (locking, binding,
// lifetime) but hold no image. For measuring the engine alone:
// benchmarks, and krovane-shot --null; the recording backend wraps it by
// default (recording_device.h).
#pragma once

#include <cstdint>
#include <string>

#include "gfx/device.h"
#include "gfx/device_backend.h"

namespace krovane::gfx {

class NullBackend : public DeviceBackend {
public:
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
};

// A device on the null backend.
Ref<Device> createNullDevice();

}  // namespace krovane::gfx
