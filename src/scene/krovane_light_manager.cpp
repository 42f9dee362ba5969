// Loading the level's lights into the numbered list and drawing their markers.
#include "scene/krovane_light_manager.h"

#include "scene/level_section.h"

Krovane_Light_Manager::Krovane_Light_Manager(Krovane_Console& console) : console_(console) {}

Krovane_Light_Manager::~Krovane_Light_Manager() = default;

bool Krovane_Light_Manager::SetupFromFile(const char* file) { return SetupFromTree(readLevel(file)); }

bool Krovane_Light_Manager::SetupFromTree(const DynamicRow& level) {
    LoadLights(level);

    Korvane_string summary = "Light Manager setup completed with ";
    summary += static_cast<int>(lightCount_);
    summary += " lights.";
    console_.Print(summary, MessageType::Comment);
    return true;
}

void Krovane_Light_Manager::LoadLights(const DynamicRow& tree) {
    forEachListed(tree, "_LIGHTS_", [&](unsigned entry) { addLight(tree.iLookName(entry), tree, entry); });
}

int Krovane_Light_Manager::AddLight(const Korvane_string& name, const DynamicRow& tree) {
    return addLight(name, tree, 0);
}

int Krovane_Light_Manager::addLight(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode) {
    ++lightCount_;
    auto owned = std::make_unique<LightEntry>();
    LightEntry* added = owned.get();

    // A light's keys normally sit under its own entry below "_LIGHTS_"; read
    // them there, so that a camera or object sharing the name earlier in the
    // tree is not taken for the light. A listed name without keys of its own
    // is looked up in the whole tree.
    added->light.LoadFromNode(name, tree, entryKeys(tree, listedNode, name));

    Korvane_string line = "[+] Light:  ";
    line += name;
    console_.Print(line, MessageType::Text);

    added->number = static_cast<int>(lightCount_);
    added->prev = last_;
    if (last_ != nullptr)
        last_->next = added;
    else
        first_ = added;
    last_ = added;
    byNumber_.push_back(std::move(owned));
    return added->number;
}

const Krovane_Light_Manager::LightEntry* Krovane_Light_Manager::entry(int number) const {
    if (number < 1 || static_cast<std::size_t>(number) > byNumber_.size()) return nullptr;
    return byNumber_[static_cast<std::size_t>(number) - 1].get();
}

const Krovane_Light* Krovane_Light_Manager::light(int number) const {
    const LightEntry* found = entry(number);
    return found != nullptr ? &found->light : nullptr;
}

void Krovane_Light_Manager::DrawLights(krovane::gfx::Device** deviceHolder, const TextureHolder* first,
                                       const TextureHolder* second) const {
    for (const LightEntry* e = first_; e != nullptr; e = e->next) e->light.DrawMarker(deviceHolder, first, second);
}

void Krovane_Light_Manager::SetLightParameters(krovane::gfx::Effect* effect, unsigned lightIndex) const {
    if (effect == nullptr || last_ == nullptr) return;
    const LightEntry* chosen = entry(static_cast<int>(lightIndex));
    if (chosen == nullptr || lightIndex > 0x7FFFFFFFu) chosen = last_;
    const Krovane_Light& l = chosen->light;
    const krovane::gfx::Vector4 position{l.position.x, l.position.y, l.position.z, l.position.w};
    const krovane::gfx::Vector4 color{l.color.r, l.color.g, l.color.b, l.color.a};
    effect->SetVector("LightPos", &position);
    effect->SetVector("LightColor", &color);
    effect->SetFloat("LightFalloff", l.falloff);
    effect->SetFloat("LightSpecular", l.specular);
    effect->SetFloat("LightSpecular_Itens", l.specularIntensity);
    effect->SetFloat("LightAmbient", l.ambient);
    effect->SetFloat("Attenuation", l.attenuation);
}
