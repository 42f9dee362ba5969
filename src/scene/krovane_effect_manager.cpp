// Making the level's effects and finding them by name.
#include "scene/krovane_effect_manager.h"

#include <algorithm>

#include "scene/krovane_camera_manager.h"
#include "scene/level_section.h"

using krovane::gfx::Effect;
using krovane::gfx::Matrix;
using namespace krovane::scene;

Krovane_Effect_Manager::Krovane_Effect_Manager(krovane::gfx::Device* device, krovane::log::Log& console,
                                               Krovane_Camera_Manager& cameraManager)
    : device_(device), console_(console), cameraManager_(cameraManager) {}

Krovane_Effect_Manager::~Krovane_Effect_Manager() = default;

void Krovane_Effect_Manager::LoadEffects(const DynamicRow& tree) {
    addListed(tree, "_EFFECTS_", [&](const Korvane_string& name, unsigned entry) { addEffect(name, tree, entry); });
    console_.Print(setupSummary("Effect Manager", effectCount(), " Effects."), MessageType::Comment);
}

void Krovane_Effect_Manager::addEffect(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode) {
    auto entry = std::make_unique<EffectEntry>();

    const unsigned id = entryKeys(tree, listedNode, name);
    const Korvane_string fxPath = tree.iLookName(tree.TopId(tree.iLookInFor(id, "_FILE_FX_")));
    const unsigned dataKey = tree.iLookInFor(id, "_FILE_");
    const Korvane_string dataPath = tree.iLookName(tree.TopId(dataKey));
    const bool hasData = dataKey != 0 && dataPath != "none";
    std::string why;
    if (krovane::gfx::failed(krovane::gfx::CreateEffectFromFileA(device_, fxPath.getChars(), &entry->effect, &why))) {
        // A failed effect uses up its number.
        failed_.push_back({entries_.add(nullptr), std::string(name.view()), std::string(fxPath.view()),
                           hasData ? std::string(dataPath.view()) : std::string()});
        console_.Print(fxPath, MessageType::Error);
        // Then why: the entry names no file, or what the file or its compiler says.
        if (fxPath.empty()) why = lackingKey(tree, id, "_FILE_FX_").view();
        console_.printLines(why, MessageType::Error);
        return;
    }

    entry->params.fresh();
    if (hasData) entry->params.iLoadFromFile(dataPath);
    entry->file = fxPath.view();

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
    Effect* effect = useEntry(*entry, cameraView, cameraProjection);
    if (view) *view = *cameraView;
    if (projection) *projection = *cameraProjection;
    return effect;
}

const Krovane_Effect_Manager::EffectEntry* Krovane_Effect_Manager::findEntry(std::string_view name) const {
    return entries_.findFirst([&](const EffectEntry& e) { return e.name == name; });
}

Effect* Krovane_Effect_Manager::useEntry(const EffectEntry& entry, const Matrix*& view,
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

void Krovane_Effect_Manager::sourceFiles(std::vector<FileSource>& out) const {
    entries_.forEach([&](std::uint32_t, const EffectEntry& e) { out.push_back({fileKey(e.file), e.file}); });
    for (const FailedEffect& f : failed_) out.push_back({fileKey(f.file), f.file});
}

ReloadOutcome Krovane_Effect_Manager::reloadFile(const std::string& key) {
    // Built once for each effect made from the file (effects keep their own state), all before any is replaced.
    std::vector<std::pair<EffectEntry*, krovane::gfx::Ref<Effect>>> rebuilt;
    std::vector<std::pair<const FailedEffect*, krovane::gfx::Ref<Effect>>> revived;
    std::string named;
    bool built = true;
    const auto build = [&](const std::string& file) {
        krovane::gfx::Ref<Effect> effect;
        named = file;
        std::string why;
        if (built && krovane::gfx::failed(krovane::gfx::CreateEffectFromFileA(device_, file.c_str(), &effect, &why))) {
            built = false;
            console_.Print(Korvane_string(std::string_view(file)), MessageType::Error);
            console_.printLines(why, MessageType::Error);
        }
        return effect;
    };
    entries_.forEach([&](std::uint32_t, EffectEntry& e) {
        if (fileKey(e.file) == key) rebuilt.emplace_back(&e, build(e.file));
    });
    for (const FailedEffect& f : failed_)
        if (fileKey(f.file) == key) revived.emplace_back(&f, build(f.file));
    if (named.empty()) return ReloadOutcome::NotUsed;
    if (!built) {
        console_.Print(addedLine(kNotReloadedLine, Korvane_string(std::string_view(named))), MessageType::Error);
        return ReloadOutcome::Failed;
    }
    // The entries stay where they are: objects hold them.
    for (auto& [entry, effect] : rebuilt) {
        entry->effect = std::move(effect);
        entry->bindings = EffectBindings::resolve(*entry->effect);
    }
    for (auto& [failed, effect] : revived) {
        auto entry = std::make_unique<EffectEntry>();
        entry->name = failed->name;
        entry->effect = std::move(effect);
        entry->params.fresh();
        if (!failed->dataFile.empty()) entry->params.iLoadFromFile(Korvane_string(std::string_view(failed->dataFile)));
        entry->bindings = EffectBindings::resolve(*entry->effect);
        entry->file = failed->file;
        entries_.fillGap(failed->number, std::move(entry));
        ++revived_;  // objects look their effects up again
    }
    std::erase_if(failed_, [&](const FailedEffect& f) {
        return std::any_of(revived.begin(), revived.end(), [&](const auto& r) { return r.first == &f; });
    });
    console_.Print(addedLine(kReloadedLine, Korvane_string(std::string_view(named))), MessageType::Comment);
    return ReloadOutcome::Reloaded;
}
