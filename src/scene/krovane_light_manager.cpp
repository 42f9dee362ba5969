// Loading the level's lights into the numbered list and drawing their markers.
#include "scene/krovane_light_manager.h"

#include "gfx/effect.h"
#include "gfx/geometry.h"
#include "scene/effect_bindings.h"
#include "scene/level_section.h"

using namespace krovane::scene;

Krovane_Light_Manager::Krovane_Light_Manager(krovane::log::Log& console) : console_(console) {}

Krovane_Light_Manager::~Krovane_Light_Manager() = default;

void Krovane_Light_Manager::LoadLights(const DynamicRow& tree) {
    addListed(tree, "_LIGHTS_", [&](const Korvane_string& name, unsigned entry) { addLight(name, tree, entry); });
    console_.Print(setupSummary("Light Manager", lightCount(), " lights."), MessageType::Comment);
}

void Krovane_Light_Manager::addLight(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode) {
    auto light = std::make_unique<Krovane_Light>();
    // A light's keys normally sit under its own entry below "_LIGHTS_"; read
    // them there, so that a camera or object sharing the name earlier in the
    // tree is not taken for the light. A listed name without keys of its own
    // is looked up in the whole tree.
    light->loadFromNode(name, tree, entryKeys(tree, listedNode, name));
    console_.Print(addedLine("[+] Light:  ", name), MessageType::Text);
    entries_.add(std::move(light));
}

void Krovane_Light_Manager::DrawLights(krovane::gfx::Device* device, krovane::gfx::Texture* first,
                                       krovane::gfx::Texture* second) const {
    entries_.forEach([&](std::uint32_t, const Krovane_Light& l) { l.DrawMarker(device, first, second); });
}

void Krovane_Light_Manager::SetLightParameters(krovane::gfx::Effect* effect, const EffectBindings& bindings,
                                               unsigned lightIndex) const {
    if (effect == nullptr || lightCount() == 0) return;
    const Krovane_Light* chosen = entries_.find(lightIndex);
    const Krovane_Light& l = chosen != nullptr ? *chosen : *entries_.find(lightCount());
    const krovane::gfx::Vector4 position{l.position.x, l.position.y, l.position.z, l.position.w};
    const krovane::gfx::Vector4 color{l.color.r, l.color.g, l.color.b, l.color.a};
    effect->SetVector(bindings.lightPos, &position);
    effect->SetVector(bindings.lightColor, &color);
    effect->SetFloat(bindings.lightFalloff, l.falloff);
    effect->SetFloat(bindings.lightSpecular, l.specular);
    effect->SetFloat(bindings.lightSpecularIntensity, l.specularIntensity);
    effect->SetFloat(bindings.lightAmbient, l.ambient);
    effect->SetFloat(bindings.attenuation, l.attenuation);
}
