// Effect: shader effects made from an effect file (see effect_file.h and
// docs/effect-format.md): techniques by name, each a list of passes, and
// parameters (the file's uniforms) set by name.
//
// Use, as the engine draws an object:
//   SetMatrix / SetVector / SetFloat   parameters, before Begin
//   SetTechnique(name)                 the first technique is current until one is chosen
//   Begin(&passes, 0)                  keeps the device states the technique's passes change
//   for each pass: BeginPass(p), draw, EndPass()
//   End()                              puts those states and the shader back
// Pairing: Begin needs a matching End and BeginPass a matching EndPass; a
// BeginPass inside a pass, or a Begin inside Begin, is kInvalidCall.
// Unknown technique or parameter names, and a parameter of another kind
// (SetFloat on a vector), are kInvalidCall and change nothing. A parameter
// keeps its value until it is set again; the values reach the shaders at
// BeginPass. Texture stage 0 is what the shaders sample (white where none
// is set) and the device's current material is visible to them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/effect_file.h"
#include "gfx/device.h"
#include "gfx/device_resource.h"
#include "gfx/shader_program.h"

namespace krovane::gfx {

class ShaderProgram;

struct Vector4 {
    float x, y, z, w;
};

class Effect final : public DeviceResource {
public:
    Result SetTechnique(const char* name);
    Result Begin(std::uint32_t* passes, std::uint32_t flags);
    Result BeginPass(std::uint32_t pass);
    Result EndPass();
    Result End();
    Result SetMatrix(const char* name, const Matrix* matrix);
    Result SetVector(const char* name, const Vector4* vector);
    Result SetFloat(const char* name, float value);

    // Makes an effect from a parsed file, compiling one program per pair of
    // stages its passes use. On failure `error` names the stage and holds the
    // compiler's message with `path` and the file's line numbers.
    static Result create(Device* device, formats::EffectFile file, const std::string& path, Ref<Effect>* effect,
                         std::string& error);

private:
    struct Parameter {
        std::string name;
        UniformType type;
        float value[16];
        bool set;
    };
    struct Program {
        std::uint32_t vertexStage, fragmentStage;
        Ref<ShaderProgram> program;
        std::vector<std::int32_t> locations;  // one per parameter
    };
    struct SavedState {
        RenderState state;
        std::uint32_t value;
    };

    explicit Effect(Device* device, formats::EffectFile file);
    ~Effect() override;

    Parameter* find(const char* name);
    Result setParameter(DeviceOp op, const char* name, UniformType type, const float* values, std::uint32_t count);
    void upload(Program& program) const;

    formats::EffectFile file_;
    std::vector<Parameter> parameters_;
    std::vector<Program> programs_;
    std::vector<std::vector<std::uint32_t>> passPrograms_;  // per technique, per pass: index into programs_
    std::vector<SavedState> saved_;                         // reserved at creation: Begin allocates nothing
    ShaderProgram* savedProgram_ = nullptr;
    std::uint32_t technique_ = 0;
    bool begun_ = false, inPass_ = false;
};

// Reads, parses and compiles an effect file (an engine path, see
// PathResolver). A file that is missing, does not parse, or whose shaders do
// not compile or link fails with a negative result; the reason, with the file
// and line, goes to stderr and to `error` when given.
Result CreateEffectFromFileA(Device* device, const char* path, Ref<Effect>* effect, std::string* error = nullptr);

}  // namespace krovane::gfx
