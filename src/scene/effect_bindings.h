// EffectBindings: what the engine draws objects through, found in one effect
// by name once: the techniques "vek_Phong" (the first light) and
// "vek_Phong_alpha" (every further light), and the parameters "View_Pos",
// "mat_World_View_Proj", "matWorld" and the seven of a light ("LightPos",
// "LightColor", "LightFalloff", "LightSpecular", "LightSpecular_Itens",
// "LightAmbient", "Attenuation"). Every effect an object names must offer
// them; one that lacks some fails those calls, as by name.
//
// An effect that draws alpha (the shipped krovane_model.fx) also offers the
// techniques of blended subsets, "vek_Phong_blend" (the first light) and
// "vek_Phong_alpha_blend" (every further one), drawn after everything else
// of the frame, and the parameter "AlphaCutoff", set before each subset it
// draws: the cutoff of a mask, 0 for the others.
#pragma once

#include "gfx/effect.h"

namespace krovane::scene {

struct EffectBindings {
    krovane::gfx::EffectHandle firstLight, furtherLight;
    krovane::gfx::EffectHandle viewPos, worldViewProj, world;
    krovane::gfx::EffectHandle lightPos, lightColor, lightFalloff, lightSpecular, lightSpecularIntensity, lightAmbient,
        attenuation;
    krovane::gfx::EffectHandle blendFirstLight, blendFurtherLight, alphaCutoff;
    bool drawsAlpha = false;  // it has both blend techniques

    static EffectBindings resolve(krovane::gfx::Effect& effect);
};

}  // namespace krovane::scene
