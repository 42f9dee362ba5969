#include "gfx/gl_device.h"

#include <SDL2/SDL.h>  // the GL context on the platform window
#include <epoxy/gl.h>  // GL entry points, loaded for the context in use

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "gfx/device_backend.h"
#include "gfx/gl_fixed_function.h"
#include "gfx/gl_resources.h"
#include "gfx/gl_state_cache.h"
#include "platform/heap_settings.h"
#include "platform/reporter.h"
#include "platform/window.h"

namespace krovane::gfx {

namespace {

class GlBackend final : public DeviceBackend {
public:
    GlBackend(SDL_Window* window, SDL_GLContext context) : window_(window), context_(context) {}

    Result init(std::uint32_t multisampleType, bool multisampleInSoftware, std::string& error) {
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
        // A software rasterizer shades every sample: say why a multisampled frame is slow, or leave it off.
        const auto* renderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
        if (multisampleType > 1 && renderer != nullptr &&
            (std::strstr(renderer, "llvmpipe") != nullptr || std::strstr(renderer, "softpipe") != nullptr)) {
            if (!multisampleInSoftware) samples_ = 1;
            platform::report(platform::ReportKind::Note,
                             std::string("gl: the renderer \"") + renderer +
                                 (multisampleInSoftware
                                      ? "\" draws in software, where multisampling costs about eight times the "
                                        "frame; MULTISAMPLE_TYPE 0 in ini.txt makes it faster"
                                      : "\" draws in software: multisampling is left off (MULTISAMPLE_SOFTWARE 0)"));
        }
        // KROVANE_GL_NO_CLIP_CONTROL=1 takes the shader's mapping on any driver (tests, reports of depth faults).
        const char* noClipControl = std::getenv("KROVANE_GL_NO_CLIP_CONTROL");
        clipControl_ = !(noClipControl != nullptr && noClipControl[0] != '\0' && noClipControl[0] != '0') &&
                       (epoxy_gl_version() >= 45 || epoxy_has_gl_extension("GL_ARB_clip_control"));
        if (clipControl_) glClipControl(GL_LOWER_LEFT, GL_ZERO_TO_ONE);
        caps_.anisotropy = epoxy_gl_version() >= 46 ||
                           epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic") ||
                           epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic");
        if (caps_.anisotropy) glGetFloatv(GL_MAX_TEXTURE_MAX_ANISOTROPY, &caps_.maxAnisotropy);
        if (!fixed_.init(cache_, !clipControl_, error)) return kFail;

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

    ~GlBackend() override {
        glDeleteTextures(1, &white_);
        glDeleteVertexArrays(1, &vao_);
        glDeleteBuffers(1, &stream_);
        glDeleteFramebuffers(1, &drawFbo_);
        glDeleteFramebuffers(1, &resolveFbo_);
        glDeleteRenderbuffers(1, &colorRb_);
        glDeleteRenderbuffers(1, &depthRb_);
        glDeleteRenderbuffers(1, &resolveRb_);
    }

    Result clear(std::uint32_t flags, std::uint32_t color, float z, std::uint32_t) override {
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

    Result present() override {
        glBindFramebuffer(GL_READ_FRAMEBUFFER, drawFbo_);
        glBindFramebuffer(GL_DRAW_FRAMEBUFFER, 0);
        glBlitFramebuffer(0, 0, width_, height_, 0, 0, width_, height_, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        SDL_GL_SwapWindow(window_);
        glBindFramebuffer(GL_FRAMEBUFFER, drawFbo_);
        return kOk;
    }

    Result createVertexBuffer(Device& device, std::uint32_t length, std::uint32_t fvf,
                              Ref<VertexBuffer>* buffer) override {
        *buffer = Ref<VertexBuffer>::adopt(new GlVertexBuffer(&device, cache_, length, fvf));
        return kOk;
    }

    Result createIndexBuffer(Device& device, std::uint32_t length, std::uint32_t indexSize,
                             Ref<IndexBuffer>* buffer) override {
        *buffer = Ref<IndexBuffer>::adopt(new GlIndexBuffer(&device, cache_, length, indexSize));
        return kOk;
    }

    Result createTexture(Device& device, std::uint32_t width, std::uint32_t height, std::uint32_t levels,
                         const std::uint32_t* pixels, Ref<Texture>* texture) override {
        *texture = Ref<Texture>::adopt(new GlTexture(&device, cache_, width, height, levels, pixels));
        return kOk;
    }

    Result createShaderProgram(Device& device, const char* vertexSource, const char* fragmentSource,
                               Ref<ShaderProgram>* program, std::string& log) override {
        const GLuint id = linkGlProgram(vertexSource, fragmentSource, log);
        if (!id) return kFail;
        auto* made = new GlShaderProgram(&device, cache_, id);
        if (made->zeroToOneFix >= 0) glUniform1i(made->zeroToOneFix, clipControl_ ? 0 : 1);
        *program = Ref<ShaderProgram>::adopt(made);
        return kOk;
    }

    Result draw(const Device& state, const DrawRequest& draw) override {
        // Where the vertices come from: the buffer itself, or the streaming buffer.
        GLuint buffer = stream_;
        std::uintptr_t base = draw.sourceOffset;
        if (draw.source != nullptr) {
            buffer = static_cast<const GlVertexBuffer*>(draw.source)->id;
        } else {
            const std::size_t bytes = std::size_t{draw.vertexCount} * draw.stride;
            glBindBuffer(GL_ARRAY_BUFFER, stream_);
            if (bytes > streamCapacity_) streamCapacity_ = std::max<std::size_t>(bytes, streamCapacity_ * 2);
            // Fresh storage each draw (orphaning): the driver need not wait for draws still reading the old.
            glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(streamCapacity_), nullptr, GL_STREAM_DRAW);
            glBufferSubData(GL_ARRAY_BUFFER, 0, static_cast<GLsizeiptr>(bytes), draw.vertices);
            base = 0;
        }
        prepare(state, buffer, draw.stride, base, draw.layout);
        glDrawArrays(glLookup(kGlPrimitives, static_cast<std::uint32_t>(draw.type)), 0,
                     static_cast<GLsizei>(draw.vertexCount));
        return kOk;
    }

    Result drawIndexed(const Device& state, const IndexedDrawRequest& draw) override {
        prepare(state, static_cast<const GlVertexBuffer&>(draw.source).id, draw.stride, draw.vertexBase,
                VertexLayout::Format);
        const GLuint elements = static_cast<const GlIndexBuffer&>(draw.indices).id;
        if (cache_.elements != elements) glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, cache_.elements = elements);
        const std::uint32_t indexSize = draw.indices.indexSize();
        glDrawElements(glLookup(kGlPrimitives, static_cast<std::uint32_t>(draw.type)),
                       static_cast<GLsizei>(draw.indexCount), indexSize == 2 ? GL_UNSIGNED_SHORT : GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(std::uintptr_t{draw.startIndex} * indexSize));
        return kOk;
    }

    Result readPixels(std::vector<std::uint32_t>& argb, std::uint32_t& width, std::uint32_t& height) override {
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
    void prepare(const Device& state, GLuint buffer, std::uint32_t stride, std::uintptr_t base, VertexLayout layout) {
        cache_.applyRenderStates(state, samples_ > 1);
        cache_.setVertexLayout(buffer, stride, base, layout, state.fvf());
        if (auto* effect = static_cast<GlShaderProgram*>(state.shaderProgram())) {
            // An effect's program gets the material, and texture stage 0 (white where none is set).
            effect->use(state);
            if (auto* texture = static_cast<GlTexture*>(state.texture(0)))
                texture->bindFiltered(state, caps_);
            else
                cache_.bindTexture(white_);
        } else {
            fixed_.use(cache_, state, layout, width_, height_, caps_);
        }
    }

    // Destroyed after every member that deletes GL objects: the context they need.
    struct Context {
        SDL_GLContext context;
        ~Context() { SDL_GL_DeleteContext(context); }
    };

    SDL_Window* window_;
    Context context_;
    GlStateCache cache_;
    GlFixedFunction fixed_;
    GlFilterCaps caps_;
    GLint samples_ = 1;
    bool clipControl_ = false;
    GLuint vao_ = 0, stream_ = 0, white_ = 0;
    std::size_t streamCapacity_ = 0;
    GLuint drawFbo_ = 0, resolveFbo_ = 0, colorRb_ = 0, depthRb_ = 0, resolveRb_ = 0;
    GLint width_ = 0, height_ = 0;
};

}  // namespace

Result createGlDevice(platform::Window& window, std::uint32_t multisampleType, Ref<Device>* device, std::string& error,
                      bool multisampleInSoftware) {
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
    auto backend = std::make_unique<GlBackend>(sdlWindow, context);  // owns the context from here
    const Result result = backend->init(multisampleType, multisampleInSoftware, error);
    if (failed(result)) return result;
    *device = Device::create(std::move(backend));
    return kOk;
}

}  // namespace krovane::gfx
