// Device: the 3D device the engine draws with, the front end over a backend
// (device_backend.h: OpenGL, null, or recording over either) that is chosen
// when the device is made; nothing else in the engine knows which one it has.
//
// The public operations check their arguments and the call order, and keep
// the current state (render states, transforms, material, textures, vertex
// format, stream source), for every backend alike; a backend only turns
// valid calls into drawing and may read that state when it draws. Results
// are 32-bit codes, negative for failure (see device_types.h). A call that
// breaks a rule of device_check.h changes nothing and is kInvalidCall, its
// record naming the rule (DeviceCall::check); drawing zero primitives is
// allowed and draws nothing. Debug builds (NDEBUG not defined: CMake's Debug
// type, not Release or RelWithDebInfo) also report the first failed check of
// each frame as a debug line (platform/reporter.h: stderr, never the log):
// "device: DrawPrimitive: called outside BeginScene/EndScene". A frame ends at
// Present, so a call that fails every frame reports a line every frame.
// Release builds report nothing; valid calls cost the same in both, as only
// the failing path names its check.
//
// Culling (RenderState::CullMode) applies to triangles, drawn through an
// effect or fixed-function alike: 2 (kCullClockwise) removes those whose
// corners run clockwise on screen, 3 (kCullCounterClockwise) those that run
// counter-clockwise; any other value (1, or the engine's start value
// kCullForceDword) culls nothing. Every draw's record carries the cull mode
// it was drawn with (args[6]).
//
// Vertex formats. Meshes use position, normal and texture coordinate
// (kFvfXyz | kFvfNormal | kFvfTex1); the console uses pre-transformed screen
// pixels with a colour (kFvfXyzRhw | kFvfDiffuse). A draw reads its vertices
// as the format set says, except a user-pointer draw whose caller names the
// line layout (VertexLayout::Line, for lines and boxes): that name is not a
// call of its own and is not recorded.
//
// Lifetime: the device and its resources are held by Ref handles (ref.h);
// the Create functions fill one. Every resource made on the device holds a
// reference to it, so releasing the device before its resources is safe. The
// device holds none on what is bound to it: a resource destroyed while bound
// unbinds itself.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gfx/device_backend.h"
#include "gfx/device_call.h"
#include "gfx/device_check.h"
#include "gfx/device_types.h"
#include "gfx/ref.h"
#include "gfx/ref_counted.h"

namespace krovane::gfx {

class Effect;
class IndexBuffer;
class ShaderProgram;
class Texture;
class VertexBuffer;

// The largest texture side the device takes.
inline constexpr std::uint32_t kMaxTextureSize = 8192;

// Bytes per vertex of the line vertex of seven floats (VertexLayout::Line).
inline constexpr std::uint32_t kLineVertexStride = 28;

#ifdef NDEBUG  // whether failed checks are reported (see above)
inline constexpr bool kDeviceChecksReported = false;
#else
inline constexpr bool kDeviceChecksReported = true;
#endif

class Device : public RefCounted {
public:
    // A new device over `backend`, owned by the handle returned.
    static Ref<Device> create(std::unique_ptr<DeviceBackend> backend);

    Result Clear(std::uint32_t rectCount, const Rect* rects, std::uint32_t flags, std::uint32_t color, float z,
                 std::uint32_t stencil);
    Result BeginScene();
    Result EndScene();
    Result Present();

    Result SetRenderState(RenderState state, std::uint32_t value);
    Result SetSamplerState(std::uint32_t sampler, SamplerState state, std::uint32_t value);
    Result SetTransform(TransformState state, const Matrix* matrix);
    Result SetMaterial(const Material* material);
    Result SetTexture(std::uint32_t stage, Texture* texture);  // null clears the stage
    Result SetFVF(std::uint32_t fvf);
    Result SetStreamSource(std::uint32_t stream, VertexBuffer* buffer, std::uint32_t offset, std::uint32_t stride);
    Result SetIndices(IndexBuffer* indices);  // null clears them

    Result CreateVertexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t fvf, std::uint32_t pool,
                              Ref<VertexBuffer>* buffer);

    // An index buffer of `length` bytes of 16-bit (kFmtIndex16) or 32-bit
    // (kFmtIndex32) indices.
    Result CreateIndexBuffer(std::uint32_t length, std::uint32_t usage, std::uint32_t format, std::uint32_t pool,
                             Ref<IndexBuffer>* buffer);

    // A texture of width x height pixels, each 0xAARRGGBB, top row first.
    // With `levels` 0 or 1 the mipmaps are made from the image; with more,
    // `pixels` holds that many levels one after the other, each half the size
    // of the one before (rounded down, at least 1). Sizes from 1 to kMaxTextureSize.
    Result CreateTexture(std::uint32_t width, std::uint32_t height, const std::uint32_t* pixels, Ref<Texture>* texture,
                         std::uint32_t levels = 0);

    // Compiles and links a pair of GLSL stages (see shader_program.h). On
    // failure `log` holds the compiler's or linker's message.
    Result CreateShaderProgram(const char* vertexSource, const char* fragmentSource, Ref<ShaderProgram>* program,
                               std::string& log);
    // Draws through `program` from now on; null goes back to fixed-function
    // shading. Effects set it between BeginPass and End.
    Result SetShaderProgram(ShaderProgram* program);
    ShaderProgram* shaderProgram() const { return program_; }

    Result DrawPrimitive(PrimitiveType type, std::uint32_t startVertex, std::uint32_t primitiveCount);
    // Triangles (or other primitives) whose corners are the indices from
    // `startIndex` on, each added to `baseVertex` and naming a vertex of the
    // stream; `minIndex` and `vertexCount` give the range of vertices used.
    Result DrawIndexedPrimitive(PrimitiveType type, std::int32_t baseVertex, std::uint32_t minIndex,
                                std::uint32_t vertexCount, std::uint32_t startIndex, std::uint32_t primitiveCount);
    // `layout` names how the vertices are read (see VertexLayout); it is
    // not part of the call as recorded.
    Result DrawPrimitiveUP(PrimitiveType type, std::uint32_t primitiveCount, const void* vertices,
                           std::uint32_t stride, VertexLayout layout = VertexLayout::Format);

    // The current state, as the backends and tests read it.
    std::uint32_t renderState(RenderState state) const;
    const Matrix& transform(TransformState state) const;
    const Material& material() const { return material_; }
    Texture* texture(std::uint32_t stage) const { return stage < kTextureStages ? textures_[stage] : nullptr; }
    std::uint32_t fvf() const { return fvf_; }
    bool inScene() const { return inScene_; }
    std::uint32_t samplerState(std::uint32_t sampler, SamplerState state) const;
    IndexBuffer* indices() const { return indices_; }
    // Whether a cull mode removes triangles that run clockwise on screen
    // (`clockwise`) or counter-clockwise.
    static bool culls(std::uint32_t cullMode, bool clockwise) {
        return cullMode == (clockwise ? kCullClockwise : kCullCounterClockwise);
    }

    // Copies what has been drawn (multisampling resolved) into `argb`, top row
    // first, each pixel 0xAARRGGBB. For tests and tools; a device that draws
    // nothing answers kNotAvailable.
    Result ReadPixels(std::vector<std::uint32_t>& argb, std::uint32_t& width, std::uint32_t& height);

    // Clears every binding of `resource`; resources call it as they go.
    void unbind(const void* resource);

    // Whether `type` is one of the six primitive types (a cast number may not be).
    static bool knownType(PrimitiveType type);
    // Vertices a draw of `count` primitives of `type` reads.
    static std::uint64_t vertexCount(PrimitiveType type, std::uint32_t count);

protected:
    explicit Device(std::unique_ptr<DeviceBackend> backend);
    ~Device() override;
    DeviceBackend& backend() { return *backend_; }

private:
    // An effect's calls are checked and recorded with the device's own.
    friend class Effect;
    // Hands `call` to a backend that keeps calls.
    void record(const DeviceCall& call) {
        if (recordCalls_) backend_->record(call);
    }
    // Refuses `call` for failing `check`: names it in the call and, in debug
    // builds, prints it when it is the frame's first. Returns kInvalidCall.
    Result refuse(DeviceCall& call, DeviceCheck check);
    Result refuse(DeviceCheck check);  // for a call that is not recorded
    // Whether calls are recorded: DeviceCall's `kept`.
    bool recordsCalls() const { return recordCalls_; }

    std::unique_ptr<DeviceBackend> backend_;
    const bool recordCalls_;

    static constexpr int kTrackedStates = 13;
    static int stateSlot(RenderState state);
    static constexpr int kSamplerStates = 4;
    static int samplerSlot(SamplerState state);

    std::uint32_t renderStates_[kTrackedStates];
    Matrix transforms_[3];
    Material material_;
    std::uint32_t samplerStates_[kTextureStages][kSamplerStates];  // mag, min, mip filters, max anisotropy
    Texture* textures_[kTextureStages] = {};
    std::uint32_t fvf_ = 0;
    VertexBuffer* stream_ = nullptr;
    IndexBuffer* indices_ = nullptr;
    ShaderProgram* program_ = nullptr;
    std::uint32_t streamOffset_ = 0, streamStride_ = 0;
    bool inScene_ = false;
    bool checkPrinted_ = false;  // a failed check of this frame is reported
};

}  // namespace krovane::gfx
