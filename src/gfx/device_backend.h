// DeviceBackend: what a backend of the device implements. The front end
// (Device) owns the checks, the state and the calls the engine makes; it
// hands a backend only calls that passed every check, after its state is
// updated, and the backend reads that state (render states, transforms,
// material, textures, the shader program) from the Device it is given.
// OpenGL, null and recording are backends; adding one is one file pair.
//
// No type of a real graphics API appears here.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gfx/device_call.h"
#include "gfx/device_types.h"
#include "gfx/ref.h"

namespace krovane::gfx {

class Device;
class IndexBuffer;
class ShaderProgram;
class Texture;
class VertexBuffer;

// One draw of vertices, as the front end checked it.
struct DrawRequest {
    PrimitiveType type;
    std::uint32_t vertexCount;
    const void* vertices;  // always readable memory
    std::uint32_t stride;
    VertexLayout layout;
    // The vertex buffer the vertices come from (from byte `sourceOffset`),
    // or null for a user-pointer draw.
    const VertexBuffer* source;
    std::uint32_t sourceOffset;
};

// One indexed draw from the bound stream and index buffer, checked: the
// stream's offset is already in `vertexBase`, in bytes.
struct IndexedDrawRequest {
    PrimitiveType type;
    const VertexBuffer& source;
    std::uint32_t vertexBase;
    std::uint32_t stride;
    const IndexBuffer& indices;
    std::uint32_t startIndex;
    std::uint32_t indexCount;
};

class DeviceBackend {
public:
    virtual ~DeviceBackend() = default;

    virtual Result clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t stencil) = 0;
    virtual Result present() = 0;
    // Resources are made for `device`, the front end they belong to.
    virtual Result createVertexBuffer(Device& device, std::uint32_t length, std::uint32_t fvf,
                                      Ref<VertexBuffer>* buffer) = 0;
    virtual Result createIndexBuffer(Device& device, std::uint32_t length, std::uint32_t indexSize,
                                     Ref<IndexBuffer>* buffer) = 0;
    virtual Result createTexture(Device& device, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                                 const std::uint32_t* pixels, Ref<Texture>* texture) = 0;
    virtual Result createShaderProgram(Device& device, const char* vertexSource, const char* fragmentSource,
                                       Ref<ShaderProgram>* program, std::string& log) = 0;
    virtual Result draw(const Device& state, const DrawRequest& draw) = 0;
    virtual Result drawIndexed(const Device& state, const IndexedDrawRequest& draw) = 0;
    // What has been drawn, top row first, 0xAARRGGBB; kNotAvailable where nothing is drawn.
    virtual Result readPixels(std::vector<std::uint32_t>& argb, std::uint32_t& width, std::uint32_t& height) = 0;

    // Whether the backend keeps calls: then the front end hands it every
    // call, valid or refused, with its result (record). Asked once, when the
    // device is made, so that drawing backends pay nothing for it.
    virtual bool recordsCalls() const { return false; }
    virtual void record(const DeviceCall&) {}
};

}  // namespace krovane::gfx
