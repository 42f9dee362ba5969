#include "gfx/null_device.h"

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

Ref<NullDevice> NullDevice::create() { return Ref<NullDevice>::adopt(new NullDevice); }

Result NullDevice::onCreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t, const std::uint32_t*,
                                   Ref<Texture>* texture) {
    *texture = Ref<Texture>::adopt(new NullTexture(this, width, height));
    return kOk;
}

Result NullDevice::onCreateVertexBuffer(std::uint32_t length, std::uint32_t fvf, Ref<VertexBuffer>* buffer) {
    *buffer = Ref<VertexBuffer>::adopt(new NullVertexBuffer(this, length, fvf));
    return kOk;
}

Result NullDevice::onCreateIndexBuffer(std::uint32_t length, std::uint32_t indexSize, Ref<IndexBuffer>* buffer) {
    *buffer = Ref<IndexBuffer>::adopt(new NullIndexBuffer(this, length, indexSize));
    return kOk;
}

Result NullDevice::onCreateShaderProgram(const char*, const char*, Ref<ShaderProgram>* program, std::string&) {
    *program = Ref<ShaderProgram>::adopt(new NullShaderProgram(this));
    return kOk;
}

Result NullDevice::onDraw(PrimitiveType, std::uint32_t, const void*, std::uint32_t, const VertexBuffer*,
                          std::uint32_t) {
    return kOk;
}

Result NullDevice::onDrawIndexed(PrimitiveType, const VertexBuffer&, std::uint32_t, std::uint32_t, const IndexBuffer&,
                                 std::uint32_t, std::uint32_t) {
    return kOk;
}

}  // namespace krovane::gfx
