#include "scene/effect_bindings.h"

namespace krovane::scene {

EffectBindings EffectBindings::resolve(krovane::gfx::Effect& effect) {
    EffectBindings b;
    b.firstLight = effect.GetTechniqueByName("vek_Phong");
    b.furtherLight = effect.GetTechniqueByName("vek_Phong_alpha");
    b.viewPos = effect.GetParameterByName("View_Pos");
    b.worldViewProj = effect.GetParameterByName("mat_World_View_Proj");
    b.world = effect.GetParameterByName("matWorld");
    b.lightPos = effect.GetParameterByName("LightPos");
    b.lightColor = effect.GetParameterByName("LightColor");
    b.lightFalloff = effect.GetParameterByName("LightFalloff");
    b.lightSpecular = effect.GetParameterByName("LightSpecular");
    // kept: effect files name this parameter "LightSpecular_Itens".
    b.lightSpecularIntensity = effect.GetParameterByName("LightSpecular_Itens");
    b.lightAmbient = effect.GetParameterByName("LightAmbient");
    b.attenuation = effect.GetParameterByName("Attenuation");
    b.drawsAlpha = effect.hasTechnique("vek_Phong_blend") && effect.hasTechnique("vek_Phong_alpha_blend");
    if (b.drawsAlpha) {
        b.blendFirstLight = effect.GetTechniqueByName("vek_Phong_blend");
        b.blendFurtherLight = effect.GetTechniqueByName("vek_Phong_alpha_blend");
        b.alphaCutoff = effect.GetParameterByName("AlphaCutoff");
    }
    return b;
}

}  // namespace krovane::scene
