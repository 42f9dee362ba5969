// The OpenGL backend's resources: textures, vertex and index buffers, and
// the shader programs of effects, each a GL object kept true in the state
// cache as it is bound and deleted; and the compiling and linking of GLSL.
// For the GL backend's files only.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "gfx/gl_state_cache.h"
#include "gfx/index_buffer.h"
#include "gfx/shader_program.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"

namespace krovane::gfx {

// What the driver offers for filtering textures.
struct GlFilterCaps {
    bool anisotropy = false;
    GLfloat maxAnisotropy = 1.0f;
};

class GlTexture final : public Texture {
public:
    // One level given: the rest are made here rather than by the driver (see makeMipChain).
    GlTexture(Device* device, GlStateCache& cache, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
              const std::uint32_t* pixels);
    ~GlTexture() override;
    // Binds the texture with the filters of the device's sampler 0, setting
    // them on the texture only when they changed since it was last bound.
    void bindFiltered(const Device& state, const GlFilterCaps& caps);

    GLuint id = 0;

private:
    GlStateCache& cache_;
    // The filters last given to GL for this texture (mag, min, mip, anisotropy).
    std::uint32_t filters_[4] = {GlStateCache::kUnknown, GlStateCache::kUnknown, GlStateCache::kUnknown,
                                 GlStateCache::kUnknown};
};

// A buffer of vertices or indices. Data goes in through GL_ARRAY_BUFFER, which
// is no part of the vertex array's state, whatever the buffer is drawn as.
template <class Base>
class GlBuffer final : public Base {
public:
    GlBuffer(Device* device, GlStateCache& cache, std::uint32_t length, std::uint32_t format)
        : Base(device, length, format), cache_(cache) {
        glGenBuffers(1, &id);
        glBindBuffer(GL_ARRAY_BUFFER, id);
        glBufferData(GL_ARRAY_BUFFER, length, nullptr, GL_DYNAMIC_DRAW);
    }
    ~GlBuffer() override {
        glDeleteBuffers(1, &id);
        cache_.forgetBuffer(id);
    }
    GLuint id = 0;

protected:
    void upload(std::uint32_t offset, std::uint32_t size) override {
        glBindBuffer(GL_ARRAY_BUFFER, id);
        glBufferSubData(GL_ARRAY_BUFFER, offset, size, this->bytes() + offset);
    }

private:
    GlStateCache& cache_;
};
using GlVertexBuffer = GlBuffer<VertexBuffer>;
using GlIndexBuffer = GlBuffer<IndexBuffer>;

// Compiles and links a program of two GLSL stages; 0 and the compiler's or
// linker's message in `log` (naming the stage) on failure.
GLuint linkGlProgram(const char* vertexSource, const char* fragmentSource, std::string& log);

// A program of an effect, with the locations of what the device hands it.
class GlShaderProgram final : public ShaderProgram {
public:
    GlShaderProgram(Device* device, GlStateCache& cache, GLuint program);
    ~GlShaderProgram() override;

    std::int32_t uniformLocation(const char* name) const override { return glGetUniformLocation(id, name); }
    void setUniform(std::int32_t location, UniformType type, const float* values) override;
    // Makes it the program drawn with, with the device's material.
    void use(const Device& state);

    GLuint id;
    GLint zeroToOneFix;

private:
    struct Held {
        std::array<float, 16> values;
        bool known = false;
    };
    GlStateCache& cache_;
    GLint materialDiffuse_, materialAmbient_, materialSpecular_, materialEmissive_, materialPower_;
    Material material_{};  // the material its uniforms hold
    bool materialKnown_ = false;
    std::vector<Held> held_;  // the last value of each uniform location, so that one held is not set again
};

}  // namespace krovane::gfx
