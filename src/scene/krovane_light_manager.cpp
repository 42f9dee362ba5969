// Loading the level's lights into the numbered list and drawing their markers.
#include "scene/krovane_light_manager.h"

Krovane_Light_Manager::Krovane_Light_Manager(Krovane_Console& console) : console_(console) {}

Krovane_Light_Manager::~Krovane_Light_Manager() = default;

bool Krovane_Light_Manager::SetupFromFile(const char* file) {
    DynamicRow tree;
    tree.fresh();
    if (file != nullptr) tree.iLoadFromFile(Korvane_string(file));
    LoadLights(tree);

    Korvane_string summary = "Light Manager setup completed with ";
    summary += static_cast<int>(lightCount_);
    summary += " lights.";
    console_.Print(summary, MessageType::Comment);
    return true;
}

void Krovane_Light_Manager::LoadLights(const DynamicRow& tree) {
    const unsigned section = tree.iLookId("_LIGHTS_");
    const unsigned count = tree.iCountParams(section) + tree.iCountKnots(section);
    unsigned child = tree.TopId(section);
    for (unsigned i = 0; i < count && child != 0; ++i, child = tree.NextId(child))
        addLight(tree.iLookName(child), tree, child);
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
    const bool ownKeys = listedNode != 0 && tree.iCountParams(listedNode) + tree.iCountKnots(listedNode) > 0;
    added->light.LoadFromNode(name, tree, ownKeys ? listedNode : tree.iLookId(name));

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
