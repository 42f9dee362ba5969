// GlFixedFunction: the OpenGL backend's stand-in for the fixed-function
// pipeline, one built-in shader program: world, view and projection
// transforms, or screen pixels with a reciprocal w placed with pixel centres
// on whole coordinates; with lighting on, the material's emissive plus
// ambient times the ambient render state (the engine never enables a device
// light); the vertex colour, or white; texture stage 0 modulating it. Its
// uniforms are set only when they change. For the GL backend's files only.
#pragma once

#include <string>

#include "gfx/geometry.h"
#include "gfx/gl_resources.h"
#include "gfx/gl_state_cache.h"

namespace krovane::gfx {

class GlFixedFunction {
public:
    // Builds the program; `zeroToOneFix` maps depth 0..1 to GL's -1..1 in the
    // shader where the driver has no clip control. False, with the reason in
    // `error`, when it does not build.
    bool init(GlStateCache& cache, bool zeroToOneFix, std::string& error);
    ~GlFixedFunction();

    // Draws through it from now on, with the uniforms of the device's state,
    // a frame of `width` x `height` pixels and vertices read as `layout`.
    void use(GlStateCache& cache, const Device& state, VertexLayout layout, GLint width, GLint height,
             const GlFilterCaps& caps);

private:
    // An integer uniform, set when it changes.
    static void setInt(GLint location, int& held, int value) {
        if (held != value) glUniform1i(location, held = value);
    }

    GLuint program_ = 0;
    GLint uWorldViewProj_ = -1, uScreen_ = -1, uViewport_ = -1, uLit_ = -1, uLitColor_ = -1, uTextured_ = -1;
    // The values its uniforms hold.
    int screen_ = -1, lit_ = -1, textured_ = -1;
    GLint viewportWidth_ = -1, viewportHeight_ = -1;
    float litColor_[4] = {};
    bool litColorKnown_ = false, wvpKnown_ = false;
    Matrix wvp_{};
};

}  // namespace krovane::gfx
