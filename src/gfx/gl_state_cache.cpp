#include "gfx/gl_state_cache.h"

#include "gfx/device.h"

namespace krovane::gfx {

void GlStateCache::applyRenderStates(const Device& state, bool multisampled) {
    const bool depth = state.renderState(RenderState::ZEnable) != 0;
    set(depthTest, depth, [&] { depth ? glEnable(GL_DEPTH_TEST) : glDisable(GL_DEPTH_TEST); });
    if (depth) {
        const GLenum func = glLookup(kGlCompare, state.renderState(RenderState::ZFunc));
        set(depthFunc, func, [&] { glDepthFunc(func); });
    }
    const GLboolean mask = state.renderState(RenderState::ZWriteEnable) != 0 ? GL_TRUE : GL_FALSE;
    set(depthMask, mask, [&] { glDepthMask(mask); });
    const bool blending = state.renderState(RenderState::AlphaBlendEnable) != 0;
    set(blend, blending, [&] { blending ? glEnable(GL_BLEND) : glDisable(GL_BLEND); });
    if (blending) {
        const GLenum src = glLookup(kGlBlend, state.renderState(RenderState::SrcBlend));
        const GLenum dst = glLookup(kGlBlend, state.renderState(RenderState::DestBlend));
        if (blendSrc != src || blendDst != dst) glBlendFunc(blendSrc = src, blendDst = dst);
        const GLenum op = glLookup(kGlBlendOps, state.renderState(RenderState::BlendOp));
        set(blendOp, op, [&] { glBlendEquation(op); });
    }
    const GLenum fill = glLookup(kGlFill, state.renderState(RenderState::FillMode));
    set(polygonMode, fill, [&] { glPolygonMode(GL_FRONT_AND_BACK, fill); });
    const bool smooth = multisampled && state.renderState(RenderState::MultisampleAntialias) != 0;
    set(multisample, smooth, [&] { smooth ? glEnable(GL_MULTISAMPLE) : glDisable(GL_MULTISAMPLE); });
    // The picture is not mirrored on the way to the screen, so a triangle
    // clockwise on screen is clockwise in GL's window coordinates too:
    // culling one winding keeps the other as the front.
    const std::uint32_t cullMode = state.renderState(RenderState::CullMode);
    const bool culling = Device::culls(cullMode, true) || Device::culls(cullMode, false);
    set(cull, culling, [&] { culling ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE); });
    if (culling) {
        const GLenum front = Device::culls(cullMode, true) ? GL_CCW : GL_CW;
        set(frontFace, front, [&] {
            glFrontFace(front);
            glCullFace(GL_BACK);
        });
    }
}

void GlStateCache::setVertexLayout(GLuint buffer, std::uint32_t stride, std::uintptr_t base, VertexLayout vertexLayout,
                                   std::uint32_t fvf) {
    if (layoutBuffer == buffer && layoutBase == base && layoutStride == stride && layoutFvf == fvf &&
        layout == vertexLayout)
        return;
    layoutBuffer = buffer;
    layoutBase = base;
    layoutStride = stride;
    layoutFvf = fvf;
    layout = vertexLayout;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    const bool line = vertexLayout == VertexLayout::Line;
    const bool screen = (fvf & kFvfXyzRhw) != 0;
    const auto at = [&](std::uintptr_t offset) { return reinterpret_cast<const void*>(base + offset); };
    const auto s = static_cast<GLsizei>(stride);

    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, screen && !line ? 4 : 3, GL_FLOAT, GL_FALSE, s, at(0));
    std::uintptr_t offset = screen && !line ? 16 : 12;
    if (!screen && !line && (fvf & kFvfNormal)) {
        glEnableVertexAttribArray(3);
        glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, s, at(offset));
        offset += 12;
    } else {
        glDisableVertexAttribArray(3);
        glVertexAttrib3f(3, 0.0f, 0.0f, 0.0f);
    }
    if (!line && (fvf & kFvfDiffuse) != 0) {
        glEnableVertexAttribArray(1);
        glVertexAttribPointer(1, 4, GL_UNSIGNED_BYTE, GL_TRUE, s, at(offset));
        offset += 4;
    } else {
        glDisableVertexAttribArray(1);
        glVertexAttrib4f(1, 1.0f, 1.0f, 1.0f, 1.0f);  // white
    }
    if (!line && (fvf & kFvfTex1)) {
        glEnableVertexAttribArray(2);
        glVertexAttribPointer(2, 2, GL_FLOAT, GL_FALSE, s, at(offset));
    } else {
        glDisableVertexAttribArray(2);
        glVertexAttrib2f(2, 0.5f, 0.5f);  // lines take the colour of the texture's centre
    }
}

}  // namespace krovane::gfx
