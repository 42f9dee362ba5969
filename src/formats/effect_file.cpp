#include "formats/effect_file.h"

#include <cctype>
#include <charconv>
#include <cstring>

namespace krovane::formats {

namespace {

bool isWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_'; }

bool equalsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// Walks the text keeping the line number; knows GLSL comments.
class Scanner {
public:
    explicit Scanner(std::string_view text) : text_(text) {}

    bool done() const { return pos_ >= text_.size(); }
    std::size_t pos() const { return pos_; }
    std::uint32_t line() const { return line_; }
    char peek() const { return done() ? '\0' : text_[pos_]; }

    void advance() {
        if (text_[pos_] == '\n') ++line_;
        ++pos_;
    }

    // At the start of a comment: steps over it. False when there is none here.
    // An unterminated block comment runs to the end.
    bool skipComment() {
        if (pos_ + 1 >= text_.size() || text_[pos_] != '/') return false;
        if (text_[pos_ + 1] == '/') {
            while (!done() && peek() != '\n') advance();
            return true;
        }
        if (text_[pos_ + 1] == '*') {
            advance();
            advance();
            while (!done() && !(peek() == '*' && pos_ + 1 < text_.size() && text_[pos_ + 1] == '/')) advance();
            if (!done()) {
                advance();
                advance();
            }
            return true;
        }
        return false;
    }

    void skipBlanks() {
        while (!done()) {
            if (std::isspace(static_cast<unsigned char>(peek())))
                advance();
            else if (!skipComment())
                break;
        }
    }

    std::string_view word() {
        const std::size_t start = pos_;
        while (!done() && isWordChar(peek())) advance();
        return text_.substr(start, pos_ - start);
    }

    // After an opening brace: steps to the matching closing one and returns
    // what lies between. False when the text ends first.
    bool balanced(std::string_view& inside) {
        const std::size_t start = pos_;
        int depth = 1;
        while (!done()) {
            if (skipComment()) continue;
            const char c = peek();
            if (c == '{') ++depth;
            if (c == '}' && --depth == 0) {
                inside = text_.substr(start, pos_ - start);
                advance();
                return true;
            }
            advance();
        }
        return false;
    }

    std::string_view slice(std::size_t from, std::size_t to) const { return text_.substr(from, to - from); }

private:
    std::string_view text_;
    std::size_t pos_ = 0;
    std::uint32_t line_ = 1;
};

struct NamedValue {
    const char* name;
    std::uint32_t value;
};

// Names of the values pass states take, by kind.
constexpr NamedValue kBlendValues[] = {
    {"Zero", 1},      {"One", 2},           {"SrcColor", 3},     {"InvSrcColor", 4},
    {"SrcAlpha", 5},  {"InvSrcAlpha", 6},   {"DestAlpha", 7},    {"InvDestAlpha", 8},
    {"DestColor", 9}, {"InvDestColor", 10}, {"SrcAlphaSat", 11},
};
constexpr NamedValue kBlendOpValues[] = {
    {"Add", 1}, {"Subtract", 2}, {"RevSubtract", 3}, {"Min", 4}, {"Max", 5},
};
constexpr NamedValue kCompareValues[] = {
    {"Never", 1},   {"Less", 2},     {"Equal", 3},        {"LessEqual", 4},
    {"Greater", 5}, {"NotEqual", 6}, {"GreaterEqual", 7}, {"Always", 8},
};
constexpr NamedValue kCullValues[] = {{"None", 1}, {"CW", 2}, {"CCW", 3}};
constexpr NamedValue kFillValues[] = {{"Point", 1}, {"Wireframe", 2}, {"Solid", 3}};
constexpr NamedValue kBoolValues[] = {{"false", 0}, {"true", 1}};

struct StateKey {
    const char* name;
    RenderState state;
    const NamedValue* values;
    std::size_t valueCount;
};

template <std::size_t N>
constexpr StateKey key(const char* name, RenderState state, const NamedValue (&values)[N]) {
    return {name, state, values, N};
}

// The pass states an effect may set, with the names of their values.
constexpr StateKey kStateKeys[] = {
    key("AlphaBlendEnable", RenderState::AlphaBlendEnable, kBoolValues),
    key("SrcBlend", RenderState::SrcBlend, kBlendValues),
    key("DestBlend", RenderState::DestBlend, kBlendValues),
    key("BlendOp", RenderState::BlendOp, kBlendOpValues),
    key("ZEnable", RenderState::ZEnable, kBoolValues),
    key("ZWriteEnable", RenderState::ZWriteEnable, kBoolValues),
    key("ZFunc", RenderState::ZFunc, kCompareValues),
    key("CullMode", RenderState::CullMode, kCullValues),
    key("FillMode", RenderState::FillMode, kFillValues),
};

std::string at(std::uint32_t line, const std::string& message) { return std::to_string(line) + ": " + message; }

UniformType uniformType(std::string_view type) {
    if (type == "float") return UniformType::Float;
    if (type == "vec2") return UniformType::Vec2;
    if (type == "vec3") return UniformType::Vec3;
    if (type == "vec4") return UniformType::Vec4;
    if (type == "mat4") return UniformType::Mat4;
    return UniformType::Other;
}

// Adds the uniforms declared outside every brace of `glsl`.
void collectUniforms(std::string_view glsl, std::vector<EffectUniform>& uniforms) {
    Scanner s(glsl);
    int depth = 0;
    while (true) {
        s.skipBlanks();
        if (s.done()) return;
        const char c = s.peek();
        if (!isWordChar(c)) {
            depth += c == '{' ? 1 : c == '}' ? -1 : 0;
            s.advance();
            continue;
        }
        if (s.word() != "uniform" || depth != 0) continue;
        s.skipBlanks();
        std::string_view type = s.word();
        while (type == "lowp" || type == "mediump" || type == "highp") {
            s.skipBlanks();
            type = s.word();
        }
        // Names up to the semicolon; an array takes no values from the engine.
        while (true) {
            s.skipBlanks();
            const std::string_view name = s.word();
            if (name.empty()) break;
            s.skipBlanks();
            const bool array = s.peek() == '[';
            while (!s.done() && s.peek() != ',' && s.peek() != ';') s.advance();
            bool known = false;
            for (const EffectUniform& u : uniforms) known = known || u.name == name;
            if (!known) uniforms.push_back({std::string(name), array ? UniformType::Other : uniformType(type)});
            if (s.peek() != ',') break;
            s.advance();
        }
    }
}

class Parser {
public:
    Parser(std::string_view text, EffectFile& effect, std::string& error) : s_(text), effect_(effect), error_(error) {}

    bool run() {
        std::size_t sharedStart = 0;
        std::uint32_t sharedLine = 1;
        int depth = 0;
        while (true) {
            s_.skipBlanks();
            if (s_.done()) break;
            const char c = s_.peek();
            if (!isWordChar(c)) {
                depth += c == '{' ? 1 : c == '}' ? -1 : 0;
                s_.advance();
                continue;
            }
            const std::size_t wordStart = s_.pos();
            const std::uint32_t wordLine = s_.line();
            const std::string_view word = s_.word();
            const bool stage = word == "vertex" || word == "fragment";
            if (depth != 0 || (!stage && word != "technique")) continue;
            // A block is the word, a name and a brace; anything else is GLSL.
            Scanner lookahead = s_;
            lookahead.skipBlanks();
            const std::string_view name = lookahead.word();
            lookahead.skipBlanks();
            if (name.empty() || lookahead.peek() != '{') continue;
            lookahead.advance();
            s_ = lookahead;
            addShared(sharedStart, wordStart, sharedLine);
            if (stage ? !parseStage(word == "vertex", name, wordLine) : !parseTechnique(name, wordLine)) return false;
            sharedStart = s_.pos();
            sharedLine = s_.line();
        }
        addShared(sharedStart, s_.pos(), sharedLine);
        if (depth != 0) return fail(s_.line(), "the shared GLSL has unbalanced braces");
        if (effect_.techniques.empty()) return fail(s_.line(), "the file has no technique");
        if (!resolvePasses()) return false;
        for (const EffectSharedText& shared : effect_.shared) collectUniforms(shared.text, effect_.uniforms);
        for (const EffectStage& stage : effect_.stages) collectUniforms(stage.body, effect_.uniforms);
        return true;
    }

private:
    bool fail(std::uint32_t line, const std::string& message) {
        error_ = at(line, message);
        return false;
    }

    void addShared(std::size_t from, std::size_t to, std::uint32_t line) {
        const std::string_view text = s_.slice(from, to);
        bool blank = true;
        for (const char c : text) blank = blank && std::isspace(static_cast<unsigned char>(c));
        if (!blank) effect_.shared.push_back({std::string(text), line});
    }

    bool parseStage(bool vertex, std::string_view name, std::uint32_t line) {
        for (const EffectStage& stage : effect_.stages)
            if (stage.name == name) return fail(line, "a second stage named " + std::string(name));
        const std::uint32_t bodyLine = s_.line();
        std::string_view body;
        if (!s_.balanced(body)) return fail(line, "the stage " + std::string(name) + " has no closing brace");
        effect_.stages.push_back({std::string(name), vertex, std::string(body), bodyLine});
        return true;
    }

    bool expect(char c, const char* what) {
        s_.skipBlanks();
        if (s_.peek() != c) return fail(s_.line(), std::string("expected ") + what);
        s_.advance();
        return true;
    }

    bool parseTechnique(std::string_view name, std::uint32_t line) {
        for (const EffectTechnique& t : effect_.techniques)
            if (t.name == name) return fail(line, "a second technique named " + std::string(name));
        EffectTechnique technique{std::string(name), {}, true};
        while (true) {
            s_.skipBlanks();
            if (s_.done()) return fail(line, "the technique " + std::string(name) + " has no closing brace");
            if (s_.peek() == '}') {
                s_.advance();
                break;
            }
            const std::uint32_t passLine = s_.line();
            const std::string_view word = s_.word();
            if (equalsNoCase(word, "BoundsCulling")) {
                if (!parseBoundsCulling(technique, passLine)) return false;
                continue;
            }
            if (word != "pass") return fail(passLine, "expected 'pass', 'BoundsCulling' or '}' in the technique");
            s_.skipBlanks();
            const std::string_view passName = s_.word();
            if (passName.empty()) return fail(s_.line(), "the pass has no name");
            if (!expect('{', "'{' after the pass name")) return false;
            EffectPass pass;
            pass.name = passName;
            if (!parsePass(pass, passLine)) return false;
            technique.passes.push_back(std::move(pass));
        }
        if (technique.passes.empty()) return fail(line, "the technique " + std::string(name) + " has no pass");
        effect_.techniques.push_back(std::move(technique));
        return true;
    }

    // "BoundsCulling = true|false;" inside a technique, after its name.
    bool parseBoundsCulling(EffectTechnique& technique, std::uint32_t line) {
        if (!expect('=', "'=' after BoundsCulling")) return false;
        s_.skipBlanks();
        const std::string_view value = s_.word();
        if (!equalsNoCase(value, "true") && !equalsNoCase(value, "false"))
            return fail(line, "BoundsCulling cannot be " + std::string(value.empty() ? "empty" : value));
        technique.boundsCulling = equalsNoCase(value, "true");
        s_.skipBlanks();
        if (s_.peek() == ';') s_.advance();
        return true;
    }

    // Stage names are looked up once every block is read, so a technique
    // may come before the stages it names.
    struct PendingStages {
        std::string vertex, fragment;
        std::uint32_t line;
    };

    bool parsePass(EffectPass& pass, std::uint32_t passLine) {
        PendingStages pending{{}, {}, passLine};
        while (true) {
            s_.skipBlanks();
            if (s_.done()) return fail(passLine, "the pass " + pass.name + " has no closing brace");
            if (s_.peek() == '}') {
                s_.advance();
                break;
            }
            const std::uint32_t line = s_.line();
            const std::string_view key = s_.word();
            if (key.empty()) return fail(line, "expected a state name in the pass");
            if (!expect('=', ("'=' after " + std::string(key)).c_str())) return false;
            s_.skipBlanks();
            const std::size_t valueStart = s_.pos();
            while (!s_.done() && s_.peek() != ';' && s_.peek() != '}' && s_.peek() != '\n') s_.advance();
            std::string_view value = s_.slice(valueStart, s_.pos());
            while (!value.empty() && std::isspace(static_cast<unsigned char>(value.back()))) value.remove_suffix(1);
            if (s_.peek() == ';') s_.advance();
            if (value.empty()) return fail(line, "the state " + std::string(key) + " has no value");

            if (equalsNoCase(key, "VertexShader")) {
                pending.vertex = value;
                continue;
            }
            if (equalsNoCase(key, "PixelShader") || equalsNoCase(key, "FragmentShader")) {
                pending.fragment = value;
                continue;
            }
            const StateKey* found = nullptr;
            for (const StateKey& k : kStateKeys)
                if (equalsNoCase(key, k.name)) found = &k;
            if (found == nullptr) return fail(line, "unknown pass state " + std::string(key));
            std::uint32_t number = 0;
            bool named = false;
            for (std::size_t i = 0; i < found->valueCount; ++i)
                if (equalsNoCase(value, found->values[i].name)) {
                    number = found->values[i].value;
                    named = true;
                }
            if (!named) {
                const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
                if (ec != std::errc() || end != value.data() + value.size())
                    return fail(line, "the state " + std::string(found->name) + " cannot be " + std::string(value));
            }
            pass.states.push_back({found->state, number});
        }
        pending_.push_back(std::move(pending));
        return true;
    }

    bool resolvePasses() {
        std::size_t next = 0;
        for (EffectTechnique& technique : effect_.techniques)
            for (EffectPass& pass : technique.passes) {
                const PendingStages& p = pending_[next++];
                if (!findStage(p.vertex, true, p.line, pass.vertexStage)) return false;
                if (!findStage(p.fragment, false, p.line, pass.fragmentStage)) return false;
            }
        return true;
    }

    bool findStage(const std::string& name, bool vertex, std::uint32_t line, std::uint32_t& index) {
        const char* kind = vertex ? "vertex" : "fragment";
        if (name.empty()) return fail(line, std::string("the pass names no ") + kind + " stage");
        for (std::uint32_t i = 0; i < effect_.stages.size(); ++i)
            if (effect_.stages[i].name == name) {
                if (effect_.stages[i].vertex != vertex) return fail(line, name + " is not a " + kind + " stage");
                index = i;
                return true;
            }
        return fail(line, std::string("no ") + kind + " stage named " + name);
    }

    Scanner s_;
    EffectFile& effect_;
    std::string& error_;
    std::vector<PendingStages> pending_;
};

// Declarations every stage gets before the file's own text.
constexpr const char* kCommon = R"(uniform vec4 MaterialDiffuse;   // the current material of the device
uniform vec4 MaterialAmbient;
uniform vec4 MaterialSpecular;
uniform vec4 MaterialEmissive;
uniform float MaterialPower;
uniform sampler2D Texture0;     // texture stage 0; white where none is set
)";

constexpr const char* kVertexInputs = R"(#define VARYING out
layout(location = 0) in vec3 inPosition;
layout(location = 1) in vec4 inColor;
layout(location = 2) in vec2 inTexCoord;
layout(location = 3) in vec3 inNormal;
uniform bool KrovaneZeroToOneFix;
)";

// The stage's own main runs first; then depth 0..1 is mapped to GL's -1..1
// where the driver cannot take the engine's depth range as it is.
constexpr const char* kVertexMain = R"(
#undef main
void main() {
    krovane_user_main();
    if (KrovaneZeroToOneFix) gl_Position.z = gl_Position.z * 2.0 - gl_Position.w;
}
)";

}  // namespace

std::string EffectFile::stageSource(const EffectStage& stage) const {
    std::string out = "#version 330 core\n";
    out += stage.vertex ? kVertexInputs : "#define VARYING in\n";
    out += kCommon;
    for (const EffectSharedText& piece : shared) {
        out += "#line " + std::to_string(piece.line) + "\n";
        out += piece.text;
        out += "\n";
    }
    if (stage.vertex) out += "#define main krovane_user_main\n";
    out += "#line " + std::to_string(stage.line) + "\n";
    out += stage.body;
    out += "\n";
    if (stage.vertex) out += kVertexMain;
    return out;
}

bool parseEffectFile(std::string_view text, EffectFile& effect, std::string& error) {
    effect = EffectFile{};
    if (text.find('\0') != std::string_view::npos) {
        error = "1: the file holds a NUL byte; it is not text";
        return false;
    }
    Parser parser(text, effect, error);
    if (parser.run()) return true;
    effect = EffectFile{};
    return false;
}

}  // namespace krovane::formats
