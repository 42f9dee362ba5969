#include "gfx/gl_resources.h"

#include <algorithm>
#include <cstring>

#include "gfx/device.h"
#include "gfx/mip_chain.h"

namespace krovane::gfx {

namespace {

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

}  // namespace

GLuint linkGlProgram(const char* vertexSource, const char* fragmentSource, std::string& log) {
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

GlTexture::GlTexture(Device* device, GlStateCache& cache, std::uint32_t width, std::uint32_t height,
                     std::uint32_t levels, const std::uint32_t* pixels)
    : Texture(device, width, height), cache_(cache) {
    glGenTextures(1, &id);
    cache.bindTexture(id);
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

GlTexture::~GlTexture() {
    glDeleteTextures(1, &id);
    if (cache_.texture == id) cache_.texture = GlStateCache::kUnknown;
}

void GlTexture::bindFiltered(const Device& state, const GlFilterCaps& caps) {
    cache_.bindTexture(id);
    const std::uint32_t mag = state.samplerState(0, SamplerState::MagFilter);
    const std::uint32_t min = state.samplerState(0, SamplerState::MinFilter);
    const std::uint32_t mip = state.samplerState(0, SamplerState::MipFilter);
    // An anisotropic filter uses as much anisotropy as the sampler state
    // asks (1 by default: trilinear), up to what the driver offers.
    const bool anisotropic = min == kFilterAnisotropic || mag == kFilterAnisotropic;
    const std::uint32_t anisotropy = anisotropic ? state.samplerState(0, SamplerState::MaxAnisotropy) : 1;
    if (filters_[0] == mag && filters_[1] == min && filters_[2] == mip && filters_[3] == anisotropy) return;
    filters_[0] = mag;
    filters_[1] = min;
    filters_[2] = mip;
    filters_[3] = anisotropy;
    const bool linearMin = min >= kFilterLinear, linearMip = mip >= kFilterLinear;
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, mag >= kFilterLinear ? GL_LINEAR : GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER,
                    mip == 0    ? (linearMin ? GL_LINEAR : GL_NEAREST)
                    : linearMin ? (linearMip ? GL_LINEAR_MIPMAP_LINEAR : GL_LINEAR_MIPMAP_NEAREST)
                                : (linearMip ? GL_NEAREST_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST));
    if (caps.anisotropy)
        glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAX_ANISOTROPY,
                        std::clamp(static_cast<GLfloat>(anisotropy), 1.0f, caps.maxAnisotropy));
}

GlShaderProgram::GlShaderProgram(Device* device, GlStateCache& cache, GLuint program)
    : ShaderProgram(device), id(program), cache_(cache) {
    materialDiffuse_ = glGetUniformLocation(id, "MaterialDiffuse");
    materialAmbient_ = glGetUniformLocation(id, "MaterialAmbient");
    materialSpecular_ = glGetUniformLocation(id, "MaterialSpecular");
    materialEmissive_ = glGetUniformLocation(id, "MaterialEmissive");
    materialPower_ = glGetUniformLocation(id, "MaterialPower");
    zeroToOneFix = glGetUniformLocation(id, "KrovaneZeroToOneFix");
    cache_.useProgram(id);
    glUniform1i(glGetUniformLocation(id, "Texture0"), 0);
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

GlShaderProgram::~GlShaderProgram() {
    glDeleteProgram(id);
    if (cache_.program == id) cache_.program = GlStateCache::kUnknown;
}

void GlShaderProgram::setUniform(std::int32_t location, UniformType type, const float* values) {
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

void GlShaderProgram::use(const Device& state) {
    cache_.useProgram(id);
    const Material& m = state.material();
    if (materialKnown_ && std::memcmp(&m, &material_, sizeof m) == 0) return;
    materialKnown_ = true;
    material_ = m;
    if (materialDiffuse_ >= 0) glUniform4fv(materialDiffuse_, 1, &m.diffuse.r);
    if (materialAmbient_ >= 0) glUniform4fv(materialAmbient_, 1, &m.ambient.r);
    if (materialSpecular_ >= 0) glUniform4fv(materialSpecular_, 1, &m.specular.r);
    if (materialEmissive_ >= 0) glUniform4fv(materialEmissive_, 1, &m.emissive.r);
    if (materialPower_ >= 0) glUniform1f(materialPower_, m.power);
}

}  // namespace krovane::gfx
