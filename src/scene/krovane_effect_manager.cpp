// Making the level's effects and finding them by name.
#include "scene/krovane_effect_manager.h"

#include "scene/krovane_camera_manager.h"
#include "scene/level_section.h"

using krovane::gfx::Effect;
using krovane::gfx::Matrix;

Krovane_Effect_Manager::Krovane_Effect_Manager(krovane::gfx::Device* device, Log& console,
                                               Krovane_Camera_Manager& cameraManager)
    : device_(device), console_(console), cameraManager_(cameraManager) {}

Krovane_Effect_Manager::~Krovane_Effect_Manager() = default;

bool Krovane_Effect_Manager::SetupFromFile(const char* file) { return SetupFromTree(readLevel(file)); }

bool Krovane_Effect_Manager::SetupFromTree(const DynamicRow& level) {
    LoadEffects(level);
    console_.Print(setupSummary("Effect Manager", effectCount(), " Effects."), MessageType::Comment);
    return true;
}

void Krovane_Effect_Manager::LoadEffects(const DynamicRow& tree) {
    addListed(tree, "_EFFECTS_", [&](const Korvane_string& name, unsigned entry) { addEffect(name, tree, entry); });
}

void Krovane_Effect_Manager::addEffect(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode) {
    auto entry = std::make_unique<EffectEntry>();

    const unsigned id = entryKeys(tree, listedNode, name);
    const Korvane_string fxPath = tree.iLookName(tree.TopId(tree.iLookInFor(id, "_FILE_FX_")));
    if (krovane::gfx::failed(krovane::gfx::CreateEffectFromFileA(device_, fxPath.getChars(), &entry->effect))) {
        entries_.add(nullptr);  // a failed effect uses up its number
        console_.Print(fxPath, MessageType::Error);
        return;
    }

    const unsigned dataKey = tree.iLookInFor(id, "_FILE_");
    const Korvane_string dataPath = tree.iLookName(tree.TopId(dataKey));
    entry->params.fresh();
    if (dataKey != 0 && dataPath != "none") entry->params.iLoadFromFile(dataPath);

    console_.Print(addedLine("[+] Effect:  ", name), MessageType::Text);
    entry->name = name.view();
    entry->bindings = EffectBindings::resolve(*entry->effect);
    entries_.add(std::move(entry));
}

Effect* Krovane_Effect_Manager::FindEffect(const Korvane_string& name, Matrix* view, Matrix* projection) {
    const EffectEntry* entry = findEntry(name.view());
    if (entry == nullptr) {
        const Krovane_Camera* camera = cameraManager_.CurrentCamera();
        if (view) *view = camera ? camera->view : krovane::gfx::kIdentityMatrix;
        if (projection) *projection = camera ? camera->projection : krovane::gfx::kIdentityMatrix;
        return nullptr;
    }
    const Matrix *cameraView = nullptr, *cameraProjection = nullptr;
    Effect* effect = UseEntry(*entry, cameraView, cameraProjection);
    if (view) *view = *cameraView;
    if (projection) *projection = *cameraProjection;
    return effect;
}

const Krovane_Effect_Manager::EffectEntry* Krovane_Effect_Manager::findEntry(std::string_view name) const {
    return entries_.findFirst([&](const EffectEntry& e) { return e.name == name; });
}

Effect* Krovane_Effect_Manager::UseEntry(const EffectEntry& entry, const Matrix*& view,
                                         const Matrix*& projection) const {
    const Krovane_Camera* camera = cameraManager_.CurrentCamera();
    view = camera ? &camera->view : &krovane::gfx::kIdentityMatrix;
    projection = camera ? &camera->projection : &krovane::gfx::kIdentityMatrix;
    const krovane::gfx::Vector4 eye =
        camera ? krovane::gfx::Vector4{camera->position.x, camera->position.y, camera->position.z, 1.0f}
               : krovane::gfx::Vector4{0.0f, 0.0f, 0.0f, 1.0f};
    entry.effect->SetVector(entry.bindings.viewPos, &eye);
    return entry.effect.get();
}
