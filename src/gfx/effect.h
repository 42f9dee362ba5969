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
//
// Parameters and techniques may be found by name once (GetParameterByName,
// GetTechniqueByName) and then set or chosen through the handle, which looks
// nothing up: the calls do and record exactly what the same calls by name
// do. A value set again unchanged costs a comparison; only values that
// changed since a program last had them are handed to it when a pass begins.
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

// A parameter or a technique of one effect, found by name once. Valid only
// with the effect that gave it. A name the effect does not have gives a
// handle through which setting or choosing fails as it does by that name; a
// default handle names nothing (kInvalidCall, recorded without a name).
class EffectHandle {
public:
    constexpr EffectHandle() = default;
    bool operator==(const EffectHandle&) const = default;

private:
    friend class Effect;
    enum class Kind : std::uint8_t { None, Parameter, Technique, Unknown };
    constexpr EffectHandle(Kind kind, std::uint32_t index) : kind_(kind), index_(index) {}
    Kind kind_ = Kind::None;
    std::uint32_t index_ = 0;  // into the effect's parameters, techniques or unknown names
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

    EffectHandle GetParameterByName(const char* name);
    EffectHandle GetTechniqueByName(const char* name);
    // Whether the effect has a technique named `name`.
    bool hasTechnique(const char* name) const { return techniqueIndex(name) >= 0; }
    Result SetTechnique(EffectHandle technique);
    Result SetMatrix(EffectHandle parameter, const Matrix* matrix);
    Result SetVector(EffectHandle parameter, const Vector4* vector);
    Result SetFloat(EffectHandle parameter, float value);

    // Whether the objects drawn through `technique` may be left out where
    // their bounds lie outside the view: false where the technique declares
    // "BoundsCulling = false" (its vertex stage moves vertices). A handle of
    // no technique answers for the current one, which choosing it leaves.
    bool cullsByBounds(EffectHandle technique) const;

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
        std::uint32_t serial;  // counts the changes of the value
    };
    struct Program {
        std::uint32_t vertexStage, fragmentStage;
        Ref<ShaderProgram> program;
        std::vector<std::int32_t> locations;  // one per parameter
        std::vector<std::uint32_t> given;     // per parameter: the serial of the value the program has
        std::uint64_t givenAt;                // the effect's changes_ when the program last had every value
    };
    struct SavedState {
        RenderState state;
        std::uint32_t value;
    };

    explicit Effect(Device* device, formats::EffectFile file);
    ~Effect() override;

    // A call on this effect, to be checked and recorded with the device's own.
    DeviceCall deviceCall(DeviceOp op, const char* name) const;
    Parameter* find(const char* name);
    // `p` is the parameter set (null: none of that name); `name` is what the call is recorded with.
    Result setParameter(DeviceOp op, Parameter* p, const char* name, UniformType type, const float* values,
                        std::uint32_t count);
    Parameter* parameter(EffectHandle handle);
    const char* handleName(EffectHandle handle) const;
    EffectHandle unknownHandle(const char* name);
    // The index of the technique named `name`, or -1.
    std::int64_t techniqueIndex(const char* name) const;
    Result setTechnique(std::int64_t index, const char* name);
    void upload(Program& program);

    formats::EffectFile file_;
    std::vector<Parameter> parameters_;
    std::vector<Program> programs_;
    std::vector<std::vector<std::uint32_t>> passPrograms_;  // per technique, per pass: index into programs_
    std::vector<std::vector<RenderState>> passStates_;      // per technique: each state its passes set, once
    std::vector<std::string> unknownNames_;                 // names asked for handles that the effect lacks
    std::vector<SavedState> saved_;                         // reserved at creation: Begin allocates nothing
    std::uint64_t changes_ = 0;                             // counts the changes of every parameter value
    ShaderProgram* savedProgram_ = nullptr;
    std::uint32_t technique_ = 0;
    bool begun_ = false, inPass_ = false;
};

// Reads, parses and compiles an effect file (an engine path, see
// PathResolver). A file that is missing, does not parse, or whose shaders do
// not compile or link fails with a negative result, and the reason goes to
// `error` when given: one line ("fx\a.fx: no such file", "fx\a.fx(3): the
// pass names no vertex stage"), or the compiler's and linker's first five
// messages, one a line, with the effect file's line numbers
// ("fx\a.fx(12): error: `x' undeclared").
Result CreateEffectFromFileA(Device* device, const char* path, Ref<Effect>* effect, std::string* error = nullptr);

}  // namespace krovane::gfx
