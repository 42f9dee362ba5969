// EffectFile: the text of an effect file taken apart. An effect file is GLSL
// with a small frame around it:
//
//   // everything outside the blocks below is GLSL shared by all stages
//   uniform mat4 mat_World_View_Proj;
//   vertex   VS_Main  { ...GLSL with a main()... }
//   fragment PS_Phong { ...GLSL with a main()... }
//   technique vek_Phong {
//       BoundsCulling = false;   // optional: never leave its objects out by their bounds
//       pass P0 { VertexShader = VS_Main; PixelShader = PS_Phong; ZWriteEnable = true; }
//   }
//
// The words `vertex`, `fragment` and `technique` start a block only outside
// every brace, comment and string. Pass states take the device's names and
// values (see parsePassState); states a pass does not name stay as they are.
// docs/effect-format.md describes the whole format with an example.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/render_values.h"

namespace krovane::formats {

struct EffectStage {
    std::string name;
    bool vertex;         // a vertex stage, else a fragment stage
    std::string body;    // the GLSL between the braces
    std::uint32_t line;  // the file line the body starts on
};

struct EffectPassState {
    RenderState state;
    std::uint32_t value;
};

struct EffectPass {
    std::string name;
    std::uint32_t vertexStage = 0;  // indexes into EffectFile::stages
    std::uint32_t fragmentStage = 0;
    std::vector<EffectPassState> states;
};

struct EffectTechnique {
    std::string name;
    std::vector<EffectPass> passes;
    // Whether the engine may leave out an object drawn through this technique
    // where its bounds lie outside the view; "BoundsCulling = false;" in the
    // technique says no (for vertex stages that move vertices).
    bool boundsCulling = true;
};

// A piece of the GLSL shared by all stages, with the line it starts on.
struct EffectSharedText {
    std::string text;
    std::uint32_t line;
};

// A uniform declared at the top level of the shared text or of a stage.
struct EffectUniform {
    std::string name;
    UniformType type;
};

struct EffectFile {
    std::vector<EffectSharedText> shared;
    std::vector<EffectStage> stages;
    std::vector<EffectTechnique> techniques;
    std::vector<EffectUniform> uniforms;

    // The complete GLSL of one stage as the device compiles it: the version,
    // the declarations every effect gets, the shared text and the stage, with
    // line directives so that compiler messages name the file's lines.
    std::string stageSource(const EffectStage& stage) const;
};

// Parses `text`. On failure returns false and sets `error` to
// "LINE: message" naming the first line that is wrong.
bool parseEffectFile(std::string_view text, EffectFile& effect, std::string& error);

}  // namespace krovane::formats
