// EffectBindings: what the engine draws objects through, found in one effect
// by name once: the techniques "vek_Phong" (the first light) and
// "vek_Phong_alpha" (every further light), and the parameters "View_Pos",
// "mat_World_View_Proj", "matWorld" and the seven of a light ("LightPos",
// "LightColor", "LightFalloff", "LightSpecular", "LightSpecular_Itens",
// "LightAmbient", "Attenuation"). Every effect an object names must offer
// them; one that lacks some fails those calls, as by name.
#pragma once

#include "gfx/effect.h"

namespace krovane::scene {

struct EffectBindings {
    krovane::gfx::EffectHandle firstLight, furtherLight;
    krovane::gfx::EffectHandle viewPos, worldViewProj, world;
    krovane::gfx::EffectHandle lightPos, lightColor, lightFalloff, lightSpecular, lightSpecularIntensity, lightAmbient,
        attenuation;

    static EffectBindings resolve(krovane::gfx::Effect& effect);
};

}  // namespace krovane::scene
