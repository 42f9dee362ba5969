#include "gfx/effect.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/shader_program.h"
#include "platform/file_io.h"
#include "platform/path_resolver.h"

namespace krovane::gfx {

namespace {

// Effect files are short texts; anything larger is not one.
constexpr std::uint64_t kMaxEffectFileBytes = 4u << 20;
// The most lines of compiler messages kept for a reason; the first ones say the most.
constexpr std::size_t kReasonLines = 5;

// Compiler and linker messages, one a line, errors before warnings, at most
// kReasonLines: those that name source string 0 and a line ("0:12(5): ..."
// or "0(12) : ...") become "PATH(12): ...", the line of the effect file (the
// stage sources carry its line numbers), the others "PATH: ...".
std::string nameFile(const std::string& log, const std::string& path) {
    std::vector<std::string> errors, others;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        std::string line = log.substr(start, end - start);
        start = end + 1;
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.empty()) continue;
        // The device names the stage that failed; the line number says more.
        for (const std::string_view stage : {"vertex stage: ", "fragment stage: "})
            if (line.rfind(stage, 0) == 0) line.erase(0, stage.size());
        unsigned source = 0, number = 0, column = 0;
        int used = 0;
        std::string named;
        if ((std::sscanf(line.c_str(), "%u:%u(%u)%n", &source, &number, &column, &used) == 3 ||
             std::sscanf(line.c_str(), "%u(%u)%n", &source, &number, &used) == 2) &&
            used > 0) {
            std::size_t rest = static_cast<std::size_t>(used);
            while (rest < line.size() && (line[rest] == ' ' || line[rest] == ':')) ++rest;
            named = path + "(" + std::to_string(number) + "): " + line.substr(rest);
        } else {
            named = path + ": " + line;
        }
        (line.find("error") != std::string::npos ? errors : others).push_back(std::move(named));
    }
    errors.insert(errors.end(), others.begin(), others.end());
    std::string out;
    for (std::size_t i = 0; i < errors.size() && i < kReasonLines; ++i) out += (i > 0 ? "\n" : "") + errors[i];
    return out;
}

// Whether `count` floats (1, 4 or 16) hold the same bits: a value set again
// unchanged is known at the cost of this comparison.
bool sameBits(const float* a, const float* b, std::uint32_t count) {
    switch (count) {
        case 1:
            return std::memcmp(a, b, sizeof(float)) == 0;
        case 4:
            return std::memcmp(a, b, 4 * sizeof(float)) == 0;
        case 16:
            return std::memcmp(a, b, 16 * sizeof(float)) == 0;
        default:
            return std::memcmp(a, b, count * sizeof(float)) == 0;
    }
}

}  // namespace

DeviceCall Effect::deviceCall(DeviceOp op, const char* name) const {
    DeviceCall made{op, device()->recordsCalls()};
    made.object = this;
    made.name = name;
    return made;
}

Effect::Effect(Device* device, formats::EffectFile file) : DeviceResource(device), file_(std::move(file)) {
    for (const formats::EffectUniform& u : file_.uniforms) parameters_.push_back({u.name, u.type, {}, false, 0});
    // What Begin keeps for each technique: every state its passes set, once, in order of first setting.
    std::size_t longest = 0;
    for (const formats::EffectTechnique& t : file_.techniques) {
        std::vector<RenderState> states;
        for (const formats::EffectPass& p : t.passes)
            for (const formats::EffectPassState& s : p.states)
                if (std::find(states.begin(), states.end(), s.state) == states.end()) states.push_back(s.state);
        longest = std::max(longest, states.size());
        passStates_.push_back(std::move(states));
    }
    saved_.reserve(longest);
}

Effect::~Effect() {
    if (begun_) End();
}

Result Effect::create(Device* device, formats::EffectFile file, const std::string& path, Ref<Effect>* effect,
                      std::string& error) {
    if (device == nullptr || effect == nullptr) return kInvalidCall;
    effect->reset();
    Ref<Effect> made = Ref<Effect>::adopt(new Effect(device, std::move(file)));
    for (const formats::EffectTechnique& technique : made->file_.techniques) {
        std::vector<std::uint32_t> passes;
        for (const formats::EffectPass& pass : technique.passes) {
            std::uint32_t index = 0;
            while (index < made->programs_.size() && !(made->programs_[index].vertexStage == pass.vertexStage &&
                                                       made->programs_[index].fragmentStage == pass.fragmentStage))
                ++index;
            if (index == made->programs_.size()) {
                const formats::EffectStage& vs = made->file_.stages[pass.vertexStage];
                const formats::EffectStage& fs = made->file_.stages[pass.fragmentStage];
                Ref<ShaderProgram> program;
                std::string log;
                const Result r = device->CreateShaderProgram(made->file_.stageSource(vs).c_str(),
                                                             made->file_.stageSource(fs).c_str(), &program, log);
                if (failed(r)) {
                    error = nameFile(log, path);
                    if (error.empty()) error = path + ": the stages " + vs.name + " and " + fs.name + " did not build";
                    return r;
                }
                Program entry{pass.vertexStage, pass.fragmentStage, std::move(program), {}, {}, 0};
                for (const Parameter& p : made->parameters_)
                    entry.locations.push_back(
                        p.type == UniformType::Other ? -1 : entry.program->uniformLocation(p.name.c_str()));
                entry.given.assign(made->parameters_.size(), 0);
                made->programs_.push_back(std::move(entry));
            }
            passes.push_back(index);
        }
        made->passPrograms_.push_back(std::move(passes));
    }
    *effect = std::move(made);
    return kOk;
}

std::int64_t Effect::techniqueIndex(const char* name) const {
    for (std::uint32_t i = 0; name != nullptr && i < file_.techniques.size(); ++i)
        if (file_.techniques[i].name == name) return i;
    return -1;
}

Result Effect::SetTechnique(const char* name) { return setTechnique(techniqueIndex(name), name); }

Result Effect::SetTechnique(EffectHandle technique) {
    const std::int64_t index = technique.kind_ == EffectHandle::Kind::Technique ? std::int64_t{technique.index_} : -1;
    return setTechnique(index, handleName(technique));
}

Result Effect::setTechnique(std::int64_t index, const char* name) {
    DeviceCall call = deviceCall(DeviceOp::EffectSetTechnique, name);
    if (index >= 0 && !begun_) {
        technique_ = static_cast<std::uint32_t>(index);
        call.result = kOk;
    } else {
        call.result = device()->refuse(
            call, begun_ ? DeviceCheck::EffectSetTechniqueInBegin : DeviceCheck::EffectSetTechniqueUnknown);
    }
    device()->record(call);
    return call.result;
}

EffectHandle Effect::GetTechniqueByName(const char* name) {
    const std::int64_t index = techniqueIndex(name);
    if (index >= 0) return {EffectHandle::Kind::Technique, static_cast<std::uint32_t>(index)};
    return unknownHandle(name);
}

EffectHandle Effect::GetParameterByName(const char* name) {
    if (const Parameter* p = find(name))
        return {EffectHandle::Kind::Parameter, static_cast<std::uint32_t>(p - parameters_.data())};
    return unknownHandle(name);
}

EffectHandle Effect::unknownHandle(const char* name) {
    if (name == nullptr) return {};
    std::uint32_t i = 0;
    while (i < unknownNames_.size() && unknownNames_[i] != name) ++i;
    if (i == unknownNames_.size()) unknownNames_.emplace_back(name);
    return {EffectHandle::Kind::Unknown, i};
}

const char* Effect::handleName(EffectHandle handle) const {
    switch (handle.kind_) {
        case EffectHandle::Kind::Parameter:
            return parameters_[handle.index_].name.c_str();
        case EffectHandle::Kind::Technique:
            return file_.techniques[handle.index_].name.c_str();
        case EffectHandle::Kind::Unknown:
            return unknownNames_[handle.index_].c_str();
        case EffectHandle::Kind::None:
            break;
    }
    return nullptr;
}

bool Effect::cullsByBounds(EffectHandle technique) const {
    const std::uint32_t t = technique.kind_ == EffectHandle::Kind::Technique ? technique.index_ : technique_;
    return file_.techniques[t].boundsCulling;
}

Result Effect::Begin(std::uint32_t* passes, std::uint32_t flags) {
    DeviceCall call = deviceCall(DeviceOp::EffectBegin, nullptr);
    call.args[0] = flags;
    if (begun_) {
        call.result = device()->refuse(call, DeviceCheck::EffectBeginInBegin);
    } else {
        begun_ = true;
        saved_.clear();
        for (const RenderState state : passStates_[technique_]) saved_.push_back({state, device()->renderState(state)});
        savedProgram_ = device()->shaderProgram();
        if (passes) *passes = static_cast<std::uint32_t>(file_.techniques[technique_].passes.size());
        call.args[1] = static_cast<std::uint32_t>(file_.techniques[technique_].passes.size());
    }
    device()->record(call);
    return call.result;
}

Result Effect::BeginPass(std::uint32_t pass) {
    DeviceCall call = deviceCall(DeviceOp::EffectBeginPass, nullptr);
    call.args[0] = pass;
    const formats::EffectTechnique& technique = file_.techniques[technique_];
    if (!begun_ || inPass_ || pass >= technique.passes.size()) {
        call.result = device()->refuse(call, !begun_   ? DeviceCheck::EffectBeginPassOutsideBegin
                                             : inPass_ ? DeviceCheck::EffectBeginPassInPass
                                                       : DeviceCheck::EffectBeginPassPastLast);
        device()->record(call);
        return call.result;
    }
    device()->record(call);
    inPass_ = true;
    for (const formats::EffectPassState& s : technique.passes[pass].states) device()->SetRenderState(s.state, s.value);
    Program& program = programs_[passPrograms_[technique_][pass]];
    upload(program);
    device()->SetShaderProgram(program.program.get());
    return kOk;
}

Result Effect::EndPass() {
    DeviceCall call = deviceCall(DeviceOp::EffectEndPass, nullptr);
    call.result = inPass_ ? kOk : device()->refuse(call, DeviceCheck::EffectEndPassOutsidePass);
    inPass_ = false;
    device()->record(call);
    return call.result;
}

Result Effect::End() {
    DeviceCall call = deviceCall(DeviceOp::EffectEnd, nullptr);
    if (!begun_) {
        call.result = device()->refuse(call, DeviceCheck::EffectEndOutsideBegin);
        device()->record(call);
        return call.result;
    }
    device()->record(call);
    begun_ = inPass_ = false;
    for (const SavedState& s : saved_) device()->SetRenderState(s.state, s.value);
    device()->SetShaderProgram(savedProgram_);
    return kOk;
}

Effect::Parameter* Effect::find(const char* name) {
    if (name == nullptr) return nullptr;
    for (Parameter& p : parameters_)
        if (p.name == name) return &p;
    return nullptr;
}

Effect::Parameter* Effect::parameter(EffectHandle handle) {
    return handle.kind_ == EffectHandle::Kind::Parameter ? &parameters_[handle.index_] : nullptr;
}

Result Effect::setParameter(DeviceOp op, Parameter* p, const char* name, UniformType type, const float* values,
                            std::uint32_t count) {
    DeviceCall call = deviceCall(op, name);
    if (op == DeviceOp::EffectSetMatrix)
        call.matrix = reinterpret_cast<const Matrix*>(values);
    else if (values != nullptr)
        std::memcpy(call.values, values, sizeof(float) * (count < 4 ? count : 4));
    // A vector fills a vec2 or vec3 with its first components.
    const bool fits =
        p != nullptr && (p->type == type ||
                         (type == UniformType::Vec4 && (p->type == UniformType::Vec2 || p->type == UniformType::Vec3)));
    if (values == nullptr || !fits) {
        call.result = device()->refuse(call, values == nullptr ? DeviceCheck::EffectParameterNull
                                             : p == nullptr    ? DeviceCheck::EffectParameterUnknown
                                                               : DeviceCheck::EffectParameterKind);
    } else if (!p->set || !sameBits(p->value, values, count)) {
        std::memcpy(p->value, values, sizeof(float) * count);
        p->set = true;
        ++p->serial;
        ++changes_;
        // Set inside a pass, the value goes to the pass's program at once.
        if (inPass_ && device()->shaderProgram() != nullptr)
            for (Program& program : programs_)
                if (program.program.get() == device()->shaderProgram()) {
                    const auto i = static_cast<std::size_t>(p - parameters_.data());
                    program.program->setUniform(program.locations[i], p->type, p->value);
                    program.given[i] = p->serial;
                }
    }
    device()->record(call);
    return call.result;
}

Result Effect::SetMatrix(const char* name, const Matrix* matrix) {
    return setParameter(DeviceOp::EffectSetMatrix, find(name), name, UniformType::Mat4,
                        matrix ? &matrix->m[0][0] : nullptr, 16);
}

Result Effect::SetVector(const char* name, const Vector4* vector) {
    return setParameter(DeviceOp::EffectSetVector, find(name), name, UniformType::Vec4, vector ? &vector->x : nullptr,
                        4);
}

Result Effect::SetFloat(const char* name, float value) {
    return setParameter(DeviceOp::EffectSetFloat, find(name), name, UniformType::Float, &value, 1);
}

Result Effect::SetMatrix(EffectHandle parameter, const Matrix* matrix) {
    return setParameter(DeviceOp::EffectSetMatrix, this->parameter(parameter), handleName(parameter), UniformType::Mat4,
                        matrix ? &matrix->m[0][0] : nullptr, 16);
}

Result Effect::SetVector(EffectHandle parameter, const Vector4* vector) {
    return setParameter(DeviceOp::EffectSetVector, this->parameter(parameter), handleName(parameter), UniformType::Vec4,
                        vector ? &vector->x : nullptr, 4);
}

Result Effect::SetFloat(EffectHandle parameter, float value) {
    return setParameter(DeviceOp::EffectSetFloat, this->parameter(parameter), handleName(parameter), UniformType::Float,
                        &value, 1);
}

void Effect::upload(Program& program) {
    if (program.givenAt == changes_) return;  // nothing changed since it had every value
    for (std::size_t i = 0; i < parameters_.size(); ++i) {
        const Parameter& p = parameters_[i];
        if (p.set && program.locations[i] >= 0 && program.given[i] != p.serial) {
            program.program->setUniform(program.locations[i], p.type, p.value);
            program.given[i] = p.serial;
        }
    }
    program.givenAt = changes_;
}

Result CreateEffectFromFileA(Device* device, const char* path, Ref<Effect>* effect, std::string* error) {
    std::string why;
    Result result = kFail;
    if (effect) effect->reset();
    if (device == nullptr || path == nullptr || effect == nullptr) {
        why = "effect: no device, path or effect to fill";
        result = kInvalidCall;
    } else {
        std::string text;
        using platform::ReadStatus;
        switch (platform::readWholeFile(platform::PathResolver::resolve(path), text, kMaxEffectFileBytes)) {
            case ReadStatus::Ok: {
                formats::EffectFile file;
                std::string parseError;
                if (!formats::parseEffectFile(text, file, parseError)) {
                    // "LINE: message" becomes "PATH(LINE): message", as the compiler's are.
                    const std::size_t colon = parseError.find(": ");
                    why = colon == std::string::npos ? std::string(path) + ": " + parseError
                                                     : std::string(path) + "(" + parseError.substr(0, colon) +
                                                           "): " + parseError.substr(colon + 2);
                } else {
                    result = Effect::create(device, std::move(file), path, effect, why);
                }
                break;
            }
            case ReadStatus::Missing:
                why = std::string(path) + ": no such file";
                break;
            case ReadStatus::TooLarge:
                why = std::string(path) + ": the effect file is larger than 4 MiB";
                break;
            default:
                why = std::string(path) + ": cannot be read";
                break;
        }
    }
    if (failed(result) || *effect == nullptr) {
        if (!failed(result)) result = kFail;
        if (error) *error = why;
    }
    return result;
}

}  // namespace krovane::gfx
