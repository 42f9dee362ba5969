#include "gfx/effect.h"

#include <cstdio>
#include <cstring>

#include "gfx/shader_program.h"
#include "platform/file_io.h"
#include "platform/path_resolver.h"

namespace krovane::gfx {

namespace {

// Effect files are short texts; anything larger is not one.
constexpr std::uint64_t kMaxEffectFileBytes = 4u << 20;

// Compiler messages name source string 0 and a line, as "0:12(5): ..." or
// "0(12) : ..."; they become "PATH:12:5: ..." so that editors can jump there.
std::string nameFile(const std::string& log, const std::string& path) {
    std::string out;
    std::size_t start = 0;
    while (start < log.size()) {
        std::size_t end = log.find('\n', start);
        if (end == std::string::npos) end = log.size();
        const std::string line = log.substr(start, end - start);
        unsigned source = 0, number = 0, column = 0;
        int used = 0;
        if (std::sscanf(line.c_str(), "%u:%u(%u)%n", &source, &number, &column, &used) == 3 && used > 0)
            out += path + ":" + std::to_string(number) + ":" + std::to_string(column) + line.substr(used);
        else if (std::sscanf(line.c_str(), "%u(%u)%n", &source, &number, &used) == 2 && used > 0)
            out += path + ":" + std::to_string(number) + line.substr(used);
        else if (!line.empty())
            out += line;
        if (!line.empty()) out += "\n";
        start = end + 1;
    }
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

DeviceCall effectCall(DeviceOp op, const void* effect, const char* name) {
    DeviceCall call{op};
    call.object = effect;
    call.name = name;
    return call;
}

}  // namespace

Effect::Effect(Device* device, formats::EffectFile file) : DeviceResource(device), file_(std::move(file)) {
    for (const formats::EffectUniform& u : file_.uniforms) parameters_.push_back({u.name, u.type, {}, false});
    std::size_t states = 0;
    for (const formats::EffectTechnique& t : file_.techniques)
        for (const formats::EffectPass& p : t.passes) states += p.states.size();
    saved_.reserve(states);
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
                    error =
                        path + ": the stages " + vs.name + " and " + fs.name + " did not build: " + nameFile(log, path);
                    return r;
                }
                Program entry{pass.vertexStage, pass.fragmentStage, std::move(program), {}};
                for (const Parameter& p : made->parameters_)
                    entry.locations.push_back(p.type == UniformType::Other ? -1
                                                                           : entry.program->uniformLocation(p.name.c_str()));
                made->programs_.push_back(std::move(entry));
            }
            passes.push_back(index);
        }
        made->passPrograms_.push_back(std::move(passes));
    }
    *effect = std::move(made);
    return kOk;
}

Result Effect::SetTechnique(const char* name) {
    DeviceCall call = effectCall(DeviceOp::EffectSetTechnique, this, name);
    call.result = kInvalidCall;
    if (name != nullptr && !begun_)
        for (std::uint32_t i = 0; i < file_.techniques.size(); ++i)
            if (file_.techniques[i].name == name) {
                technique_ = i;
                call.result = kOk;
                break;
            }
    if (failed(call.result))
        device()->refuse(call,
                         begun_ ? DeviceCheck::EffectSetTechniqueInBegin : DeviceCheck::EffectSetTechniqueUnknown);
    device()->record(call);
    return call.result;
}

Result Effect::Begin(std::uint32_t* passes, std::uint32_t flags) {
    DeviceCall call = effectCall(DeviceOp::EffectBegin, this, nullptr);
    call.args[0] = flags;
    if (begun_) {
        call.result = device()->refuse(call, DeviceCheck::EffectBeginInBegin);
    } else {
        begun_ = true;
        saved_.clear();
        for (const formats::EffectPass& pass : file_.techniques[technique_].passes)
            for (const formats::EffectPassState& s : pass.states) {
                bool kept = false;
                for (const SavedState& k : saved_) kept = kept || k.state == s.state;
                if (!kept) saved_.push_back({s.state, device()->renderState(s.state)});
            }
        savedProgram_ = device()->shaderProgram();
        if (passes) *passes = static_cast<std::uint32_t>(file_.techniques[technique_].passes.size());
        call.args[1] = static_cast<std::uint32_t>(file_.techniques[technique_].passes.size());
    }
    device()->record(call);
    return call.result;
}

Result Effect::BeginPass(std::uint32_t pass) {
    DeviceCall call = effectCall(DeviceOp::EffectBeginPass, this, nullptr);
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
    DeviceCall call = effectCall(DeviceOp::EffectEndPass, this, nullptr);
    call.result = inPass_ ? kOk : device()->refuse(call, DeviceCheck::EffectEndPassOutsidePass);
    inPass_ = false;
    device()->record(call);
    return call.result;
}

Result Effect::End() {
    DeviceCall call = effectCall(DeviceOp::EffectEnd, this, nullptr);
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

Result Effect::setParameter(DeviceOp op, const char* name, UniformType type, const float* values, std::uint32_t count) {
    DeviceCall call = effectCall(op, this, name);
    if (op == DeviceOp::EffectSetMatrix)
        call.matrix = reinterpret_cast<const Matrix*>(values);
    else
        std::memcpy(call.values, values, sizeof(float) * (count < 4 ? count : 4));
    Parameter* p = find(name);
    // A vector fills a vec2 or vec3 with its first components.
    const bool fits =
        p != nullptr && (p->type == type ||
                         (type == UniformType::Vec4 && (p->type == UniformType::Vec2 || p->type == UniformType::Vec3)));
    if (values == nullptr || !fits) {
        call.result = device()->refuse(call, values == nullptr ? DeviceCheck::EffectParameterNull
                                             : p == nullptr    ? DeviceCheck::EffectParameterUnknown
                                                               : DeviceCheck::EffectParameterKind);
    } else {
        std::memcpy(p->value, values, sizeof(float) * count);
        p->set = true;
        // Set inside a pass, the value goes to the pass's program at once.
        if (inPass_ && device()->shaderProgram() != nullptr)
            for (Program& program : programs_)
                if (program.program.get() == device()->shaderProgram())
                    program.program->setUniform(program.locations[static_cast<std::size_t>(p - parameters_.data())],
                                                p->type, p->value);
    }
    device()->record(call);
    return call.result;
}

Result Effect::SetMatrix(const char* name, const Matrix* matrix) {
    if (matrix == nullptr) return setParameter(DeviceOp::EffectSetMatrix, name, UniformType::Mat4, nullptr, 0);
    return setParameter(DeviceOp::EffectSetMatrix, name, UniformType::Mat4, &matrix->m[0][0], 16);
}

Result Effect::SetVector(const char* name, const Vector4* vector) {
    if (vector == nullptr) return setParameter(DeviceOp::EffectSetVector, name, UniformType::Vec4, nullptr, 0);
    const float values[4] = {vector->x, vector->y, vector->z, vector->w};
    return setParameter(DeviceOp::EffectSetVector, name, UniformType::Vec4, values, 4);
}

Result Effect::SetFloat(const char* name, float value) {
    return setParameter(DeviceOp::EffectSetFloat, name, UniformType::Float, &value, 1);
}

void Effect::upload(Program& program) const {
    for (std::size_t i = 0; i < parameters_.size(); ++i)
        if (parameters_[i].set && program.locations[i] >= 0)
            program.program->setUniform(program.locations[i], parameters_[i].type, parameters_[i].value);
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
                if (!formats::parseEffectFile(text, file, parseError))
                    why = std::string(path) + ":" + parseError;
                else
                    result = Effect::create(device, std::move(file), path, effect, why);
                break;
            }
            case ReadStatus::Missing:
                why = std::string(path) + ": cannot open the effect file";
                break;
            case ReadStatus::TooLarge:
                why = std::string(path) + ": the effect file is larger than 4 MiB";
                break;
            default:
                why = std::string(path) + ": cannot read the effect file";
                break;
        }
    }
    if (failed(result) || *effect == nullptr) {
        if (!failed(result)) result = kFail;
        std::fprintf(stderr, "effect: %s\n", why.c_str());
        if (error) *error = why;
    }
    return result;
}

}  // namespace krovane::gfx
