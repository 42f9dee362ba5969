// Making the level's effects and finding them by name.
#include "scene/krovane_effect_manager.h"

#include "scene/krovane_camera_manager.h"
#include "scene/level_section.h"

using krovane::gfx::Effect;
using krovane::gfx::Matrix;

Krovane_Effect_Manager::EffectEntry::~EffectEntry() {
    if (effect) effect->Release();
}

Krovane_Effect_Manager::Krovane_Effect_Manager(krovane::gfx::Device** deviceHolder, Krovane_Console& console,
                                               Krovane_Camera_Manager& cameraManager)
    : deviceHolder_(deviceHolder), console_(console), cameraManager_(cameraManager) {}

Krovane_Effect_Manager::~Krovane_Effect_Manager() {
    for (EffectEntry* e = first_; e != nullptr;) {
        EffectEntry* next = e->next;
        delete e;
        e = next;
    }
}

bool Krovane_Effect_Manager::SetupFromFile(const char* file) { return SetupFromTree(readLevel(file)); }

bool Krovane_Effect_Manager::SetupFromTree(const DynamicRow& level) {
    LoadEffects(level);

    Korvane_string summary = "Effect Manager setup completed with ";
    summary += static_cast<int>(effectCount_);
    summary += " Effects.";
    console_.Print(summary, MessageType::Comment);
    return true;
}

void Krovane_Effect_Manager::LoadEffects(const DynamicRow& tree) {
    forEachListed(tree, "_EFFECTS_", [&](unsigned entry) { addEffect(tree.iLookName(entry), tree, entry); });
}

int Krovane_Effect_Manager::AddEffect(const Korvane_string& name, const DynamicRow& tree) {
    return addEffect(name, tree, 0);
}

int Krovane_Effect_Manager::addEffect(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode) {
    // Counted before anything is made: a failed effect uses up its number.
    ++effectCount_;
    auto entry = std::make_unique<EffectEntry>();

    const unsigned id = entryKeys(tree, listedNode, name);
    const Korvane_string fxPath = tree.iLookName(tree.TopId(tree.iLookInFor(id, "_FILE_FX_")));
    krovane::gfx::Device* device = deviceHolder_ != nullptr ? *deviceHolder_ : nullptr;
    if (krovane::gfx::failed(krovane::gfx::CreateEffectFromFileA(device, fxPath.getChars(), &entry->effect))) {
        console_.Print(fxPath, MessageType::Error);
        return 0;
    }

    const unsigned dataKey = tree.iLookInFor(id, "_FILE_");
    const Korvane_string dataPath = tree.iLookName(tree.TopId(dataKey));
    entry->params.fresh();
    if (dataKey != 0 && dataPath != "none") entry->params.iLoadFromFile(dataPath);

    Korvane_string line = "[+] Effect:  ";
    line += name;
    console_.Print(line, MessageType::Text);

    entry->number = static_cast<int>(effectCount_);
    entry->name = name;
    EffectEntry* added = entry.release();
    added->prev = last_;
    if (last_ != nullptr)
        last_->next = added;
    else
        first_ = added;
    last_ = added;
    return added->number;
}

Effect* Krovane_Effect_Manager::FindEffect(const Korvane_string& name, Matrix* view, Matrix* projection) {
    const Krovane_Camera* camera = cameraManager_.CurrentCamera();
    if (view) *view = camera ? camera->view : krovane::gfx::kIdentityMatrix;
    if (projection) *projection = camera ? camera->projection : krovane::gfx::kIdentityMatrix;
    for (EffectEntry* e = first_; e != nullptr; e = e->next) {
        if (e->name != name) continue;
        const krovane::gfx::Vector4 eye =
            camera ? krovane::gfx::Vector4{camera->position.x, camera->position.y, camera->position.z, 1.0f}
                   : krovane::gfx::Vector4{0.0f, 0.0f, 0.0f, 1.0f};
        e->effect->SetVector("View_Pos", &eye);
        return e->effect;
    }
    return nullptr;
}
