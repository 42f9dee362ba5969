#include "gfx/gl_device.h"

#include <SDL2/SDL.h>  // the GL context on the platform window
#include <epoxy/gl.h>  // GL entry points, loaded for the context in use

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "gfx/geometry.h"
#include "gfx/index_buffer.h"
#include "gfx/mip_chain.h"
#include "gfx/shader_program.h"
#include "gfx/texture.h"
#include "gfx/vertex_buffer.h"
#include "platform/heap_settings.h"
#include "platform/reporter.h"
#include "platform/window.h"

namespace krovane::gfx {

namespace {

// ---- Mapping tables: device values to GL -------------------------------------

// Primitive types, indexed by PrimitiveType (1 to 6).
constexpr GLenum kPrimitives[] = {
    GL_POINTS,          // 0: unused
    GL_POINTS,          // 1: point list
    GL_LINES,           // 2: line list
    GL_LINE_STRIP,      // 3: line strip
    GL_TRIANGLES,       // 4: triangle list
    GL_TRIANGLE_STRIP,  // 5: triangle strip
    GL_TRIANGLE_FAN,    // 6: triangle fan
};
static_assert(sizeof kPrimitives / sizeof kPrimitives[0] == 7, "one GL primitive per primitive type");

// Comparison functions of ZFunc, indexed by value (1 to 8).
constexpr GLenum kCompare[] = {
    GL_LEQUAL,    // 0: not a value; the usual test
    GL_NEVER,     // 1
    GL_LESS,      // 2
    GL_EQUAL,     // 3
    GL_LEQUAL,    // 4
    GL_GREATER,   // 5
    GL_NOTEQUAL,  // 6
    GL_GEQUAL,    // 7
    GL_ALWAYS,    // 8
};
static_assert(sizeof kCompare / sizeof kCompare[0] == 9, "one GL function per comparison");

// Blend factors of SrcBlend and DestBlend, indexed by value (1 to 11).
constexpr GLenum kBlend[] = {
    GL_ONE,                  // 0: not a value
    GL_ZERO,                 // 1: zero
    GL_ONE,                  // 2: one
    GL_SRC_COLOR,            // 3: source colour
    GL_ONE_MINUS_SRC_COLOR,  // 4: inverse source colour
    GL_SRC_ALPHA,            // 5: source alpha
    GL_ONE_MINUS_SRC_ALPHA,  // 6: inverse source alpha
    GL_DST_ALPHA,            // 7: destination alpha
    GL_ONE_MINUS_DST_ALPHA,  // 8: inverse destination alpha
    GL_DST_COLOR,            // 9: destination colour
    GL_ONE_MINUS_DST_COLOR,  // 10: inverse destination colour
    GL_SRC_ALPHA_SATURATE,   // 11: source alpha, saturated
};
static_assert(sizeof kBlend / sizeof kBlend[0] == 12, "one GL factor per blend value");

// Blend operations of BlendOp, indexed by value (1 to 5).
constexpr GLenum kBlendOps[] = {
    GL_FUNC_ADD,               // 0: not a value
    GL_FUNC_ADD,               // 1: add
    GL_FUNC_SUBTRACT,          // 2: subtract
    GL_FUNC_REVERSE_SUBTRACT,  // 3: reverse subtract
    GL_MIN,                    // 4: minimum
    GL_MAX,                    // 5: maximum
};
static_assert(sizeof kBlendOps / sizeof kBlendOps[0] == 6, "one GL operation per blend operation");

// Fill modes, indexed by value (1 to 3).
constexpr GLenum kFill[] = {
    GL_FILL,   // 0: not a value
    GL_POINT,  // 1: points
    GL_LINE,   // 2: wireframe
    GL_FILL,   // 3: solid
};
static_assert(sizeof kFill / sizeof kFill[0] == 4, "one GL polygon mode per fill mode");

template <std::size_t N>
GLenum lookup(const GLenum (&table)[N], std::uint32_t value) {
    return value < N ? table[value] : table[0];
}

// ---- The fixed-function shader -----------------------------------------------

constexpr const char* kVertexShader = R"(#version 330 core
layout(location = 0) in vec4 aPosition;
layout(location = 1) in vec4 aColor;  // bytes B, G, R, A of a 0xAARRGGBB colour
layout(location = 2) in vec2 aUv;
uniform mat4 uWorldViewProj;  // row-major for row vectors, read as its transpose
uniform bool uScreen;         // positions are screen pixels with a reciprocal w
uniform vec2 uViewport;
uniform bool uZeroToOneFix;   // map depth 0..1 to GL's -1..1 where clip control is missing
out vec4 vColor;
out vec2 vUv;
void main() {
    if (uScreen) {
        float w = aPosition.w != 0.0 ? 1.0 / aPosition.w : 1.0;
        vec2 ndc = vec2((aPosition.x + 0.5) / uViewport.x * 2.0 - 1.0, 1.0 - (aPosition.y + 0.5) / uViewport.y * 2.0);
        gl_Position = vec4(ndc * w, aPosition.z * w, w);
    } else {
        gl_Position = uWorldViewProj * vec4(aPosition.xyz, 1.0);
    }
    if (uZeroToOneFix) gl_Position.z = gl_Position.z * 2.0 - gl_Position.w;
    vColor = aColor.bgra;
    vUv = aUv;
}
)";

constexpr const char* kFragmentShader = R"(#version 330 core
in vec4 vColor;
in vec2 vUv;
uniform bool uLit;          // use uLitColor instead of the vertex colour
uniform vec4 uLitColor;
uniform bool uTextured;
uniform sampler2D uTexture;
out vec4 fragColor;
void main() {
    vec4 color = uLit ? uLitColor : vColor;
    if (uTextured) color *= texture(uTexture, vUv);
    fragColor = color;
}
)";

// What the context holds now, as far as drawing depends on it, so that a
// draw sets only what changed since the one before. Resources that bind or
// delete GL objects keep it true.
struct GlCache {
    static constexpr std::uint32_t kUnknown = 0xFFFFFFFFu;
    GLuint program = kUnknown, texture = kUnknown, elements = kUnknown;
    // The vertex layout the attributes point at: buffer, first byte, stride, format.
    GLuint layoutBuffer = kUnknown;
    std::uintptr_t layoutBase = 0;
    std::uint32_t layoutStride = 0, layoutFvf = 0;
    // Render states, as GL values (kUnknown until first set).
    std::uint32_t depthTest = kUnknown, depthFunc = kUnknown, depthMask = kUnknown, blend = kUnknown,
                  blendSrc = kUnknown, blendDst = kUnknown, blendOp = kUnknown, polygonMode = kUnknown,
                  multisample = kUnknown, cull = kUnknown, frontFace = kUnknown;

    void useProgram(GLuint id) {
        if (program != id) glUseProgram(program = id);
    }
    void bindTexture(GLuint id) {
        if (texture != id) glBindTexture(GL_TEXTURE_2D, texture = id);
    }
    // A buffer deleted while the attributes or the indices point at it leaves them pointing at nothing.
    void forgetBuffer(GLuint id) {
        if (layoutBuffer == id) layoutBuffer = kUnknown;
        if (elements == id) elements = kUnknown;
    }
    // Sets a GL capability or value only when it changes.
    template <class Apply>
    void set(std::uint32_t& held, std::uint32_t value, Apply apply) {
        if (held != value) {
            held = value;
            apply();
        }
    }
};

class GlDevice;

class GlTexture final : public Texture {
public:
    GlTexture(Device* device, GlCache& cache, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
              const std::uint32_t* pixels)
        : Texture(device, width, height), cache_(cache) {
        glGenTextures(1, &id);
        cache.bindTexture(id);
        // One level given: the rest are made here rather than by the driver (see makeMipChain).
        std::vector<std::uint32_t> chain;
        if (levels == 1) {
            chain = makeMipChain(width, height, pixels, levels);
            pixels = chain.data();
        }
        // Pixels are 0xAARRGGBB words: as bytes on a little-endian machine, B G R A.
        for (std::uint32_t level = 0; level < levels; ++level) {
            glTexImage2D(GL_TEXTURE_2D, static_cast<GLint>(level), GL_RGBA8, static_cast<GLsizei>(width),
                         static_cast<GLsizei>(height), 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, pixels);
            pixels += std::size_t{width} * height;
            width = width > 1 ? width / 2 : 1;
            height = height > 1 ? height / 2 : 1;
        }
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, static_cast<GLint>(levels - 1));
    }
    ~GlTexture() override {
        glDeleteTextures(1, &id);
        if (cache_.texture == id) cache_.texture = GlCache::kUnknown;
    }
    GLuint id = 0;
    // The filters last given to GL for this texture (mag, min, mip, anisotropy), to set them only when they change.
    std::uint32_t filters[4] = {GlCache::kUnknown, GlCache::kUnknown, GlCache::kUnknown, GlCache::kUnknown};

private:
    GlCache& cache_;
};

// A buffer of vertices or indices. Data goes in through GL_ARRAY_BUFFER, which
// is no part of the vertex array's state, whatever the buffer is drawn as.
template <class Base>
class GlBuffer final : public Base {
public:
    GlBuffer(Device* device, GlCache& cache, std::uint32_t length, std::uint32_t format)
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
    GlCache& cache_;
};
using GlVertexBuffer = GlBuffer<VertexBuffer>;
using GlIndexBuffer = GlBuffer<IndexBuffer>;

// The message GL keeps for a shader or a program, read through the getters
// that match it.
template <class GetParameter, class GetLog>
std::string infoLog(GLuint object, GetParameter getParameter, GetLog getLog) {
    GLint length = 0;
    getParameter(object, GL_INFO_LOG_LENGTH, &length);
    std::string log(static_cast<std::size_t>(std::max(length, 1)), '\0');
    getLog(object, length, nullptr, log.data());
    log.resize(std::strlen(log.c_str()));
    return log;
}

// Compiles one stage; on failure `log` gets the compiler's message.
GLuint compile(GLenum type, const char* source, std::string& log) {
    const GLuint shader = glCreateShader(type);
    glShaderSource(shader, 1, &source, nullptr);
    glCompileShader(shader);
    GLint ok = 0;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
    if (!ok) {
        log = infoLog(shader, glGetShaderiv, glGetShaderInfoLog);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

// Compiles and links a program; 0 and the message in `log` on failure.
GLuint link(const char* vertexSource, const char* fragmentSource, std::string& log) {
    const GLuint vs = compile(GL_VERTEX_SHADER, vertexSource, log);
    if (!vs) {
        log = "vertex stage: " + log;
        return 0;
    }
    const GLuint fs = compile(GL_FRAGMENT_SHADER, fragmentSource, log);
    if (!fs) {
        glDeleteShader(vs);
        log = "fragment stage: " + log;
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glLinkProgram(program);
    glDeleteShader(vs);
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        log = "link: " + infoLog(program, glGetProgramiv, glGetProgramInfoLog);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}

// A program of an effect, with the locations of what the device hands it.
class GlShaderProgram final : public ShaderProgram {
public:
    GlShaderProgram(Device* device, GlCache& cache, GLuint program) : ShaderProgram(device), id(program), cache_(cache) {
        materialDiffuse = glGetUniformLocation(id, "MaterialDiffuse");
        materialAmbient = glGetUniformLocation(id, "MaterialAmbient");
        materialSpecular = glGetUniformLocation(id, "MaterialSpecular");
        materialEmissive = glGetUniformLocation(id, "MaterialEmissive");
        materialPower = glGetUniformLocation(id, "MaterialPower");
        zeroToOneFix = glGetUniformLocation(id, "KrovaneZeroToOneFix");
        cache_.useProgram(id);
        glUniform1i(glGetUniformLocation(id, "Texture0"), 0);
        // Room for the last value of each uniform location, so that a value it already holds is not set again.
        GLint count = 0, largest = -1;
        glGetProgramiv(id, GL_ACTIVE_UNIFORMS, &count);
        for (GLint i = 0; i < count; ++i) {
            char name[256];
            GLint size = 0;
            GLenum type = 0;
            glGetActiveUniform(id, static_cast<GLuint>(i), sizeof name, nullptr, &size, &type, name);
            largest = std::max(largest, glGetUniformLocation(id, name) + std::max(size, 1) - 1);
        }
        held_.resize(static_cast<std::size_t>(largest + 1));
    }
    ~GlShaderProgram() override {
        glDeleteProgram(id);
        if (cache_.program == id) cache_.program = GlCache::kUnknown;
    }

    std::int32_t uniformLocation(const char* name) const override { return glGetUniformLocation(id, name); }

    void setUniform(std::int32_t location, UniformType type, const float* values) override {
        if (location < 0) return;
        const std::uint32_t floats = uniformFloats(type);
        if (static_cast<std::size_t>(location) < held_.size()) {
            Held& held = held_[static_cast<std::size_t>(location)];
            if (held.known && std::memcmp(held.values.data(), values, floats * sizeof(float)) == 0) return;
            held.known = true;
            std::memcpy(held.values.data(), values, floats * sizeof(float));
        }
        cache_.useProgram(id);
        switch (type) {
            case UniformType::Float:
                glUniform1fv(location, 1, values);
                break;
            case UniformType::Vec2:
                glUniform2fv(location, 1, values);
                break;
            case UniformType::Vec3:
                glUniform3fv(location, 1, values);
                break;
            case UniformType::Vec4:
                glUniform4fv(location, 1, values);
                break;
            case UniformType::Mat4:
                // Row-major for row vectors read as column-major is the
                // transpose, which is what `mat * v` needs.
                glUniformMatrix4fv(location, 1, GL_FALSE, values);
                break;
            case UniformType::Other:
                break;
        }
    }

    GLuint id;
    GLint materialDiffuse, materialAmbient, materialSpecular, materialEmissive, materialPower, zeroToOneFix;
    Material material{};  // the material its uniforms hold
    bool materialKnown = false;

private:
    struct Held {
        std::array<float, 16> values;
        bool known = false;
    };
    GlCache& cache_;
    std::vector<Held> held_;
};

class GlDevice final : public Device {
public:
    GlDevice(SDL_Window* window, SDL_GLContext context) : window_(window), context_(context) {}

    Result init(std::uint32_t multisampleType, std::string& error) {
        if (epoxy_gl_version() < 33) {
            error = "OpenGL 3.3 is needed; the driver offers " + std::to_string(epoxy_gl_version() / 10) + "." +
                    std::to_string(epoxy_gl_version() % 10);
            return kNotAvailable;
        }
        GLint maxSamples = 1;
        glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
        samples_ = multisampleType <= 1 ? 1 : static_cast<GLint>(multisampleType);
        if (multisampleType > 16 || samples_ > maxSamples) {
            error = "multisample type " + std::to_string(multisampleType) +
                    " is not available: the driver offers up to " + std::to_string(maxSamples) + " samples";
            return kNotAvailable;
        }
        // A software rasterizer shades every sample: say why a multisampled frame is slow.
        const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        if (multisampleType > 1 && renderer != nullptr &&
            (std::strstr(renderer, "llvmpipe") != nullptr || std::strstr(renderer, "softpipe") != nullptr))
            platform::report(platform::ReportKind::Note,
                             std::string("gl: the renderer \"") + renderer +
                                 "\" draws in software, where multisampling costs about eight times the frame; "
                                 "MULTISAMPLE_TYPE 0 in ini.txt makes it faster");
        clipControl_ = epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control");
        if (clipControl_) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
        anisotropy_ = epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                      epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
        if (anisotropy_) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &maxAnisotropy_);

        std::string log;
        program_ = link(kVertexShader, kFragmentShader, log);
        if (!program_) {
            error = "the built-in shader did not build: " + log;
            return kFail;
        }
        cache_.useProgram(program_);
        uWorldViewProj_ = glGetUniformLocation(program_, "uWorldViewProj");
        uScreen_ = glGetUniformLocation(program_, "uScreen");
        uViewport_ = glGetUniformLocation(program_, "uViewport");
        uLit_ = glGetUniformLocation(program_, "uLit");
        uLitColor_ = glGetUniformLocation(program_, "uLitColor");
        uTextured_ = glGetUniformLocation(program_, "uTextured");
        glUniform1i(glGetUniformLocation(program_, "uTexture"), 0);
        glUniform1i(glGetUniformLocation(program_, "uZeroToOneFix"), clipControl_ ? 0 : 1);

        // What effects sample on stage 0 when no texture is set there.
        glGenTextures(1, &white_);
        cache_.bindTexture(white_);
        const std::uint32_t white = 0xFFFFFFFF;
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, &white);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);

        glGenVertexArrays(1, &vao_);
        glBindVertexArray(vao_);
        glGenBuffers(1, &stream_);
        glGenFramebuffers(1, &drawFbo_);
        glGenFramebuffers(1, &resolveFbo_);
        glGenRenderbuffers(1, &colorRb_);
        glGenRenderbuffers(1, &depthRb_);
        glGenRenderbuffers(1, &resolveRb_);
        SDL_GL_SetSwapInterval(0);  // never wait for the vertical blank
        if (!resizeTargets()) {
            error = "the frame buffers could not be made";
            return kOutOfVideoMemory;
        }
        // The draw framebuffer stays bound for drawing from here on (whatever
        // binds another puts it back), with the viewport over all of it.
        glActiveTexture(GL_TEXTURE0);
        return kOk;
    }

    ~GlDevice() override {
        glDeleteProgram(program_);
        glDeleteTextures(1, &white_);
        glDeleteVertexArrays(1, &vao_);
        glDeleteBuffers(1, &stream_);
        glDeleteFramebuffers(1, &drawFbo_);
        glDeleteFramebuffers(1, &resolveFbo_);
        glDeleteRenderbuffers(1, &colorRb_);
        glDeleteRenderbuffers(1, &depthRb_);
        glDeleteRenderbuffers(1, &resolveRb_);
        SDL_GL_DeleteContext(context_);
    }

protected:
    Result onClear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t) override {
        if (!resizeTargets()) return kOutOfVideoMemory;
        GLbitfield mask = 0;
        if (flags & kClearTarget) {
            glClearColor(static_cast<float>((color >> 16) & 0xFF) / 255.0f,
                         static_cast<float>((color >> 8) & 0xFF) / 255.0f, static_cast<float>(color & 0xFF) / 255.0f,
                         static_cast<float>(color >> 24) / 255.0f);
            mask |= GL_COLOR_BUFFER_BIT;
        }
        if (flags & kClearZBuffer) {
            glClearDepth(z);
            cache_.set(cache_.depthMask, GL_TRUE, [] { glDepthMask(GL_TRUE); });  // clearing ignores the write state, as devices do
            mask |= GL_DEPTH_BUFFER_BIT;
        }
        glClear(mask);
        return kOk;
    }

    Result onPresent() override {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, drawFbo_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        SDL_GL_SwapWindow(window_);
        glBindFramebuffer(GL_FRAMEBUFFER, drawFbo_);
        return kOk;
    }

    Result onCreateVertexBuffer(std::uint32_t length, std::uint32_t fvf, Ref<VertexBuffer>* buffer) override {
        *buffer = Ref<VertexBuffer>::adopt(new GlVertexBuffer(this, cache_, length, fvf));
        return kOk;
    }

    Result onCreateIndexBuffer(std::uint32_t length, std::uint32_t indexSize, Ref<IndexBuffer>* buffer) override {
        *buffer = Ref<IndexBuffer>::adopt(new GlIndexBuffer(this, cache_, length, indexSize));
        return kOk;
    }

    Result onCreateTexture(std::uint32_t width, std::uint32_t height, std::uint32_t levels, const std::uint32_t* pixels,
                           Ref<Texture>* texture) override {
        *texture = Ref<Texture>::adopt(new GlTexture(this, cache_, width, height, levels, pixels));
        return kOk;
    }

    Result onCreateShaderProgram(const char* vertexSource, const char* fragmentSource, Ref<ShaderProgram>* program,
                                 std::string& log) override {
        const GLuint id = link(vertexSource, fragmentSource, log);
        if (!id) return kFail;
        auto* made = new GlShaderProgram(this, cache_, id);
        if (made->zeroToOneFix >= 0) glUniform1i(made->zeroToOneFix, clipControl_ ? 0 : 1);
        *program = Ref<ShaderProgram>::adopt(made);
        return kOk;
    }

    Result onDraw(PrimitiveType type, std::uint32_t vertexCount, const void* vertices, std::uint32_t stride,
                  const VertexBuffer* source, std::uint32_t sourceOffset) override {
        // Where the vertices come from: the buffer itself, or the streaming buffer.
        GLuint buffer = stream_;
        std::uintptr_t base = sourceOffset;
        if (source != nullptr) {
            buffer = static_cast<const GlVertexBuffer*>(source)->id;
        } else {
            const std::size_t bytes = std::size_t{vertexCount} * stride;
            glBindBuffer(GL_ARRAY_BUFFER, stream_);
            if (bytes > streamCapacity_) streamCapacity_ = std::max<std::size_t>(bytes, streamCapacity_ * 2);
            // Fresh storage each draw (orphaning): the driver need not wait for draws still reading the old.
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(streamCapacity_), nullptr, GL_STREAM_DRAW);
            glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), vertices);
            base = 0;
        }
        prepare(buffer, stride, base);
        glDrawArrays(lookup(kPrimitives, static_cast<std::uint32_t>(type)), 0, static_cast<GLsizei>(vertexCount));
        return kOk;
    }

    Result onDrawIndexed(PrimitiveType type, const VertexBuffer& source, std::uint32_t vertexBase,
                         std::uint32_t stride, const IndexBuffer& indices, std::uint32_t startIndex,
                         std::uint32_t indexCount) override {
        prepare(static_cast<const GlVertexBuffer&>(source).id, stride, vertexBase);
        const GLuint elements = static_cast<const GlIndexBuffer&>(indices).id;
        if (cache_.elements != elements) glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, cache_.elements = elements);
        const bool small = indices.indexSize() == 2;
        glDrawElements(lookup(kPrimitives, static_cast<std::uint32_t>(type)), static_cast<GLsizei>(indexCount),
                       small ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(std::uintptr_t{startIndex} * indices.indexSize()));
        return kOk;
    }

    Result onReadPixels(std::vector<std::uint32_t>& argb, std::uint32_t& width, std::uint32_t& height) override {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, drawFbo_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, resolveFbo_);
        glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        glBindFramebuffer(GL_READ_FRAMEBUFFER, resolveFbo_);
        width = static_cast<std::uint32_t>(width_);
        height = static_cast<std::uint32_t>(height_);
        argb.resize(std::size_t{width} * height);
        glPixelStorei(GL_PACK_ALIGNMENT, 4);
        glReadPixels(0, 0, width_, height_, GL_BGRA, GL_UNSIGNED_INT_8_8_8_8_REV, argb.data());
        // GL rows run bottom-up; callers get the top row first.
        for (std::uint32_t y = 0; y < height / 2; ++y)
            std::swap_ranges(argb.begin() + y * width, argb.begin() + (y + 1) * width,
                             argb.begin() + (height - 1 - y) * width);
        glBindFramebuffer(GL_FRAMEBUFFER, drawFbo_);
        return kOk;
    }

private:
    // (Re)makes the frame buffers when the drawable area changed size.
    bool resizeTargets() {
        int w = 0, h = 0;
        SDL_GL_GetDrawableSize(window_, &w, &h);
        w = std::max(w, 1);
        h = std::max(h, 1);
        if (w == width_ && h == height_) return true;
        width_ = w;
        height_ = h;
        glBindRenderbuffer(GL_RENDERBUFFER, colorRb_);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_ > 1 ? samples_ : 0, GL_RGBA8, w, h);
        glBindRenderbuffer(GL_RENDERBUFFER, depthRb_);
        glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_ > 1 ? samples_ : 0, GL_DEPTH_COMPONENT24, w, h);
        glBindFramebuffer(GL_FRAMEBUFFER, drawFbo_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colorRb_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_RENDERBUFFER, depthRb_);
        const bool drawOk = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindRenderbuffer(GL_RENDERBUFFER, resolveRb_);
        glRenderbufferStorage(GL_RENDERBUFFER, GL_RGBA8, w, h);
        glBindFramebuffer(GL_FRAMEBUFFER, resolveFbo_);
        glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, resolveRb_);
        const bool resolveOk = glCheckFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
        glBindFramebuffer(GL_FRAMEBUFFER, drawFbo_);
        glViewport(0, 0, w, h);
        return drawOk && resolveOk;
    }

    // Everything a draw needs besides the draw call itself: states, vertex
    // layout, program, uniforms and texture, each set only when it changed.
    void prepare(GLuint buffer, std::uint32_t stride, std::uintptr_t base) {
        applyStates();
        setLayout(buffer, stride, base);
        if (auto* effect = static_cast<GlShaderProgram*>(shaderProgram()))
            useEffectProgram(*effect);
        else
            useFixedFunction(stride);
    }

    void applyStates() {
        GlCache& c = cache_;
        const bool depth = renderState(RenderState::ZEnable) != 0;
        c.set(c.depthTest, depth, [&] { depth ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST); });
        if (depth) {
            const GLenum func = lookup(kCompare, renderState(RenderState::ZFunc));
            c.set(c.depthFunc, func, [&] { glDepthFunc(func); });
        }
        const GLboolean mask = renderState(RenderState::ZWriteEnable) != 0 ? GL_TRUE : GL_FALSE;
        c.set(c.depthMask, mask, [&] { glDepthMask(mask); });
        const bool blend = renderState(RenderState::AlphaBlendEnable) != 0;
        c.set(c.blend, blend, [&] { blend ? glEnable(GL_BLEND) : glDisable(GL_BLEND); });
        if (blend) {
            const GLenum src = lookup(kBlend, renderState(RenderState::SrcBlend));
            const GLenum dst = lookup(kBlend, renderState(RenderState::DestBlend));
            if (c.blendSrc != src || c.blendDst != dst) glBlendFunc(c.blendSrc = src, c.blendDst = dst);
            const GLenum op = lookup(kBlendOps, renderState(RenderState::BlendOp));
            c.set(c.blendOp, op, [&] { glBlendEquation(op); });
        }
        const GLenum fill = lookup(kFill, renderState(RenderState::FillMode));
        c.set(c.polygonMode, fill, [&] { glPolygonMode(GL_FRONT_AND_BACK, fill); });
        const bool multisample = samples_ > 1 && renderState(RenderState::MultisampleAntialias) != 0;
        c.set(c.multisample, multisample,
              [&] { multisample ? glEnable(GL_MULTISAMPLE) : glDisable(GL_MULTISAMPLE); });
        // The picture is not mirrored on the way to the screen, so a triangle
        // clockwise on screen is clockwise in GL's window coordinates too:
        // culling one winding keeps the other as the front.
        const std::uint32_t cullMode = renderState(RenderState::CullMode);
        const bool cull = culls(cullMode, true) || culls(cullMode, false);
        c.set(c.cull, cull, [&] { cull ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE); });
        if (cull) {
            const GLenum front = culls(cullMode, true) ? GL_CCW : GL_CW;
            c.set(c.frontFace, front, [&] {
                glFrontFace(front);
                glCullFace(GL_BACK);
            });
        }
    }

    // Points the attributes at the vertex layout of the current format.
    void setLayout(GLuint buffer, std::uint32_t stride, std::uintptr_t base) {
        const std::uint32_t format = fvf();
        GlCache& c = cache_;
        if (c.layoutBuffer == buffer && c.layoutBase == base && c.layoutStride == stride && c.layoutFvf == format)
            return;
        c.layoutBuffer = buffer;
        c.layoutBase = base;
        c.layoutStride = stride;
        c.layoutFvf = format;
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        const bool line = stride == kLineVertexStride;
        const bool screen = (format & kFvfXyzRhw) != 0;
        const auto at = [&](std::uintptr_t offset) { return reinterpret_cast<const void*>(base + offset); };
        const auto s = static_cast<GLsizei>(stride);

        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, screen && !line ? 4 : 3, GL_FLOAT, GL_FALSE, s, at(0));
        std::uintptr_t offset = screen && !line ? 16 : 12;
        if (!screen && !line && (format & kFvfNormal)) {
            glEnableVertexAttribArray(3);
            glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, s, at(offset));
            offset += 12;
        } else {
            glDisableVertexAttribArray(3);
            glVertexAttrib3f(3, 0.0f, 0.0f, 0.0f);
        }
        const bool hasColor = !line && (format & kFvfDiffuse) != 0;
        if (hasColor) {
            glEnableVertexAttribArray(1);
            glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, s, at(offset));
            offset += 4;
        } else {
            glDisableVertexAttribArray(1);
            glVertexAttrib4f(1, 1.0f, 1.0f, 1.0f, 1.0f);  // white
        }
        if (!line && (format & kFvfTex1)) {
            glEnableVertexAttribArray(2);
            glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, s, at(offset));
        } else {
            glDisableVertexAttribArray(2);
            glVertexAttrib2f(2, 0.5f, 0.5f);  // lines take the colour of the texture's centre
        }
    }

    // The built-in program and the uniforms that depend on the format, the
    // transforms, the material and the texture.
    void useFixedFunction(std::uint32_t stride) {
        cache_.useProgram(program_);
        const std::uint32_t format = fvf();
        const bool line = stride == kLineVertexStride;
        const bool screen = (format & kFvfXyzRhw) != 0;
        setInt(uScreen_, fixed_.screen, screen ? 1 : 0);
        if (fixed_.viewportWidth != width_ || fixed_.viewportHeight != height_) {
            fixed_.viewportWidth = width_;
            fixed_.viewportHeight = height_;
            glUniform2f(uViewport_, static_cast<float>(width_), static_cast<float>(height_));
        }
        // Pre-transformed vertices and lines are never lit.
        const bool lit = !screen && !line && renderState(RenderState::Lighting) != 0;
        setInt(uLit_, fixed_.lit, lit ? 1 : 0);
        if (lit) {
            const Material& m = material();
            const std::uint32_t a = renderState(RenderState::Ambient);
            const float ar = static_cast<float>((a >> 16) & 0xFF) / 255.0f,
                        ag = static_cast<float>((a >> 8) & 0xFF) / 255.0f, ab = static_cast<float>(a & 0xFF) / 255.0f;
            const float color[4] = {std::min(1.0f, m.emissive.r + m.ambient.r * ar),
                                    std::min(1.0f, m.emissive.g + m.ambient.g * ag),
                                    std::min(1.0f, m.emissive.b + m.ambient.b * ab), m.diffuse.a};
            if (!fixed_.litColorKnown || std::memcmp(color, fixed_.litColor, sizeof color) != 0) {
                fixed_.litColorKnown = true;
                std::memcpy(fixed_.litColor, color, sizeof color);
                glUniform4fv(uLitColor_, 1, color);
            }
        }
        if (!screen) {
            const Matrix wvp = multiply(multiply(transform(TransformState::World), transform(TransformState::View)),
                                        transform(TransformState::Projection));
            if (!fixed_.wvpKnown || std::memcmp(&wvp, &fixed_.wvp, sizeof wvp) != 0) {
                fixed_.wvpKnown = true;
                fixed_.wvp = wvp;
                glUniformMatrix4fv(uWorldViewProj_, 1, GL_FALSE, &wvp.m[0][0]);
            }
        }
        auto* texture = static_cast<GlTexture*>(Device::texture(0));
        setInt(uTextured_, fixed_.textured, texture ? 1 : 0);
        if (texture) bindTexture(*texture);
    }

    // Switches a draw to an effect's program: the current material and
    // texture stage 0 (white where none is set) go to it.
    void useEffectProgram(GlShaderProgram& effect) {
        cache_.useProgram(effect.id);
        const Material& m = material();
        if (!effect.materialKnown || std::memcmp(&m, &effect.material, sizeof m) != 0) {
            effect.materialKnown = true;
            effect.material = m;
            if (effect.materialDiffuse >= 0) glUniform4fv(effect.materialDiffuse, 1, &m.diffuse.r);
            if (effect.materialAmbient >= 0) glUniform4fv(effect.materialAmbient, 1, &m.ambient.r);
            if (effect.materialSpecular >= 0) glUniform4fv(effect.materialSpecular, 1, &m.specular.r);
            if (effect.materialEmissive >= 0) glUniform4fv(effect.materialEmissive, 1, &m.emissive.r);
            if (effect.materialPower >= 0) glUniform1f(effect.materialPower, m.power);
        }
        if (auto* texture = static_cast<GlTexture*>(Device::texture(0)))
            bindTexture(*texture);
        else
            cache_.bindTexture(white_);
    }

    void bindTexture(GlTexture& texture) {
        cache_.bindTexture(texture.id);
        const std::uint32_t mag = samplerState(0, SamplerState::MagFilter);
        const std::uint32_t min = samplerState(0, SamplerState::MinFilter);
        const std::uint32_t mip = samplerState(0, SamplerState::MipFilter);
        // An anisotropic filter uses as much anisotropy as the sampler state
        // asks (1 by default: trilinear), up to what the driver offers.
        const bool anisotropic = min == kFilterAnisotropic || mag == kFilterAnisotropic;
        const std::uint32_t anisotropy = anisotropic ? samplerState(0, SamplerState::MaxAnisotropy) : 1;
        if (texture.filters[0] == mag && texture.filters[1] == min && texture.filters[2] == mip &&
            texture.filters[3] == anisotropy)
            return;
        texture.filters[0] = mag;
        texture.filters[1] = min;
        texture.filters[2] = mip;
        texture.filters[3] = anisotropy;
        const bool linearMin = min >= kFilterLinear, linearMip = mip >= kFilterLinear;
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag >= kFilterLinear ? GL_LINEAR : GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                        mip == 0    ? (linearMin ? GL_LINEAR : GL_NEAREST)
                        : linearMin ? (linearMip ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                                    : (linearMip ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST));
        if (anisotropy_)
            glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY,
                            std::clamp(static_cast<GLfloat>(anisotropy), 1.0f, maxAnisotropy_));
    }

    // An integer uniform of the built-in program, set when it changes.
    static void setInt(GLint location, int& held, int value) {
        if (held != value) glUniform1i(location, held = value);
    }

    SDL_Window* window_;
    SDL_GLContext context_;
    GLint samples_ = 1;
    bool clipControl_ = false, anisotropy_ = false;
    GLfloat maxAnisotropy_ = 1.0f;
    GLuint program_ = 0, vao_ = 0, stream_ = 0, white_ = 0;
    std::size_t streamCapacity_ = 0;
    GLuint drawFbo_ = 0, resolveFbo_ = 0, colorRb_ = 0, depthRb_ = 0, resolveRb_ = 0;
    GLint width_ = 0, height_ = 0;
    GLint uWorldViewProj_ = -1, uScreen_ = -1, uViewport_ = -1, uLit_ = -1, uLitColor_ = -1, uTextured_ = -1;
    GlCache cache_;
    // The values the built-in program's uniforms hold.
    struct {
        int screen = -1, lit = -1, textured = -1;
        GLint viewportWidth = -1, viewportHeight = -1;
        float litColor[4] = {};
        bool litColorKnown = false, wvpKnown = false;
        Matrix wvp{};
    } fixed_;
};

}  // namespace

Result createGlDevice(platform::Window& window, std::uint32_t multisampleType, Ref<Device>* device, std::string& error) {
    if (device == nullptr) return kInvalidCall;
    device->reset();
    auto* sdlWindow = static_cast<SDL_Window*>(window.nativeHandle());
    SDL_GLContext context = SDL_GL_CreateContext(sdlWindow);
    if (context == nullptr) {
        error = std::string("no OpenGL 3.3 context: ") + SDL_GetError();
        return kNotAvailable;
    }
    SDL_GL_MakeCurrent(sdlWindow, context);
    // Software drivers take and free tens of megabytes of working memory per frame.
    platform::keepFreedHeapMemory(std::size_t{64} << 20);
    auto* gl = new GlDevice(sdlWindow, context);  // owns the context from here
    Ref<Device> made = Ref<Device>::adopt(gl);
    const Result result = gl->init(multisampleType, error);
    if (failed(result)) return result;
    *device = std::move(made);
    return kOk;
}

}  // namespace krovane::gfx
