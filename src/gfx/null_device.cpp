#include "gfx/null_device.h"

#include <memory>

#include "gfx/index_buffer.h"
#include "gfx/shader_program.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"

namespace krovane::gfx {

namespace {

class NullTexture final : public Texture {
public:
    NullTexture(Device* device, std::uint32_t width, std::uint32_t height) : Texture(device, width, height) {}
};

class NullVertexBuffer final : public VertexBuffer {
public:
    NullVertexBuffer(Device* device, std::uint32_t length, std::uint32_t fvf) : VertexBuffer(device, length, fvf) {}

protected:
    void upload(std::uint32_t, std::uint32_t) override {}
};

class NullIndexBuffer final : public IndexBuffer {
public:
    NullIndexBuffer(Device* device, std::uint32_t length, std::uint32_t indexSize)
        : IndexBuffer(device, length, indexSize) {}

protected:
    void upload(std::uint32_t, std::uint32_t) override {}
};

// Takes every uniform its sources declare and keeps no value, as a driver
// would take the values: effects pay for handing them over.
class NullShaderProgram final : public ShaderProgram {
public:
    explicit NullShaderProgram(Device* device) : ShaderProgram(device) {}
    std::int32_t uniformLocation(const char*) const override { return 0; }
    void setUniform(std::int32_t, UniformType, const float*) override {}
};

}  // namespace

Ref<Device> createNullDevice() { return Device::create(std::make_unique<NullBackend>()); }

Result NullBackend::clear(std::uint32_t, std::uint32_t, float, std::uint32_t) { return kOk; }
Result NullBackend::present() { return kOk; }

Result NullBackend::createTexture(Device& device, std::uint32_t width, std::uint32_t height, std::uint32_t,
                                  const std::uint32_t*, Ref<Texture>* texture) {
    *texture = Ref<Texture>::adopt(new NullTexture(&device, width, height));
    return kOk;
}

Result NullBackend::createVertexBuffer(Device& device, std::uint32_t length, std::uint32_t fvf,
                                       Ref<VertexBuffer>* buffer) {
    *buffer = Ref<VertexBuffer>::adopt(new NullVertexBuffer(&device, length, fvf));
    return kOk;
}

Result NullBackend::createIndexBuffer(Device& device, std::uint32_t length, std::uint32_t indexSize,
                                      Ref<IndexBuffer>* buffer) {
    *buffer = Ref<IndexBuffer>::adopt(new NullIndexBuffer(&device, length, indexSize));
    return kOk;
}

Result NullBackend::createShaderProgram(Device& device, const char*, const char*, Ref<ShaderProgram>* program,
                                        std::string&) {
    *program = Ref<ShaderProgram>::adopt(new NullShaderProgram(&device));
    return kOk;
}

Result NullBackend::draw(const Device&, const DrawRequest&) { return kOk; }
Result NullBackend::drawIndexed(const Device&, const IndexedDrawRequest&) { return kOk; }

Result NullBackend::readPixels(std::vector<std::uint32_t>&, std::uint32_t&, std::uint32_t&) { return kNotAvailable; }

}  // namespace krovane::gfx
