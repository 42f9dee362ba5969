#include "gfx/gl_fixed_function.h"

#include <algorithm>
#include <cstring>

#include "gfx/device.h"

namespace krovane::gfx {

namespace {

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

}  // namespace

bool GlFixedFunction::init(GlStateCache& cache, bool zeroToOneFix, std::string& error) {
    std::string log;
    program_ = linkGlProgram(kVertexShader, kFragmentShader, log);
    if (!program_) {
        error = "the built-in shader did not build: " + log;
        return false;
    }
    cache.useProgram(program_);
    uWorldViewProj_ = glGetUniformLocation(program_, "uWorldViewProj");
    uScreen_ = glGetUniformLocation(program_, "uScreen");
    uViewport_ = glGetUniformLocation(program_, "uViewport");
    uLit_ = glGetUniformLocation(program_, "uLit");
    uLitColor_ = glGetUniformLocation(program_, "uLitColor");
    uTextured_ = glGetUniformLocation(program_, "uTextured");
    glUniform1i(glGetUniformLocation(program_, "uTexture"), 0);
    glUniform1i(glGetUniformLocation(program_, "uZeroToOneFix"), zeroToOneFix ? 1 : 0);
    return true;
}

GlFixedFunction::~GlFixedFunction() { glDeleteProgram(program_); }

void GlFixedFunction::use(GlStateCache& cache, const Device& state, VertexLayout layout, GLint width, GLint height,
                          const GlFilterCaps& caps) {
    cache.useProgram(program_);
    const bool line = layout == VertexLayout::Line;
    const bool screen = (state.fvf() & kFvfXyzRhw) != 0;
    setInt(uScreen_, screen_, screen ? 1 : 0);
    if (viewportWidth_ != width || viewportHeight_ != height) {
        viewportWidth_ = width;
        viewportHeight_ = height;
        glUniform2f(uViewport_, static_cast<float>(width), static_cast<float>(height));
    }
    // Pre-transformed vertices and lines are never lit.
    const bool lit = !screen && !line && state.renderState(RenderState::Lighting) != 0;
    setInt(uLit_, lit_, lit ? 1 : 0);
    if (lit) {
        const Material& m = state.material();
        const std::uint32_t a = state.renderState(RenderState::Ambient);
        const float ar = static_cast<float>((a >> 16) & 0xFF) / 255.0f,
                    ag = static_cast<float>((a >> 8) & 0xFF) / 255.0f, ab = static_cast<float>(a & 0xFF) / 255.0f;
        const float color[4] = {std::min(1.0f, m.emissive.r + m.ambient.r * ar),
                                std::min(1.0f, m.emissive.g + m.ambient.g * ag),
                                std::min(1.0f, m.emissive.b + m.ambient.b * ab), m.diffuse.a};
        if (!litColorKnown_ || std::memcmp(color, litColor_, sizeof color) != 0) {
            litColorKnown_ = true;
            std::memcpy(litColor_, color, sizeof color);
            glUniform4fv(uLitColor_, 1, color);
        }
    }
    if (!screen) {
        const Matrix wvp =
            multiply(multiply(state.transform(TransformState::World), state.transform(TransformState::View)),
                     state.transform(TransformState::Projection));
        if (!wvpKnown_ || std::memcmp(&wvp, &wvp_, sizeof wvp) != 0) {
            wvpKnown_ = true;
            wvp_ = wvp;
            glUniformMatrix4fv(uWorldViewProj_, 1, GL_FALSE, &wvp.m[0][0]);
        }
    }
    auto* texture = static_cast<GlTexture*>(state.texture(0));
    setInt(uTextured_, textured_, texture ? 1 : 0);
    if (texture) texture->bindFiltered(state, caps);
}

}  // namespace krovane::gfx
