#include "scene/object_template.h"

#include <algorithm>
#include <cstring>

#include "scene/resource_cache.h"

using namespace krovane::gfx;

namespace krovane::scene {

ObjectTemplate::ObjectTemplate(ResourceCache* cache, const DynamicRow* tree, Ref<Mesh> mesh,
                               std::vector<Material> materials, std::vector<Ref<Texture>> textures,
                               std::uint32_t effectCount, std::vector<formats::MaterialAlpha> alpha)
    : cache_(cache),
      tree_(tree),
      mesh_(std::move(mesh)),
      materials_(std::move(materials)),
      textures_(std::move(textures)),
      alpha_(std::move(alpha)),
      effectCount_(effectCount),
      effects_(effectCount, nullptr) {
    using formats::AlphaMode;
    const auto is = [&](AlphaMode mode) {
        return std::any_of(alpha_.begin(), alpha_.end(),
                           [&](const formats::MaterialAlpha& a) { return a.mode == mode; });
    };
    blends_ = is(AlphaMode::Blend);
    if (!blends_ && !is(AlphaMode::Mask)) alpha_.clear();
}

ObjectTemplate::~ObjectTemplate() {
    // Handed back to the cache, which lets go of what no object holds any more.
    if (cache_ == nullptr) return;
    cache_->forgetTemplate(this);
    cache_->release(mesh_);
    for (Ref<Texture>& t : textures_) cache_->release(t);
}

bool ObjectTemplate::sameAs(const Mesh* mesh, const std::vector<Material>& materials,
                            const std::vector<Ref<Texture>>& textures,
                            const std::vector<formats::MaterialAlpha>& alpha) const {
    for (std::uint32_t i = 0; i < materialCount(); ++i)
        if (!((i < alpha.size() ? alpha[i] : kOpaque) == this->alpha(i))) return false;
    return mesh == mesh_.get() && materials.size() == materials_.size() && textures == textures_ &&
           (materials.empty() ||
            std::memcmp(materials.data(), materials_.data(), materials.size() * sizeof(Material)) == 0);
}

const ObjectTemplate::EffectEntry* const* ObjectTemplate::effects(const Krovane_Effect_Manager& manager,
                                                                  const DynamicRow& params) {
    if (foundIn_ != &manager || foundAt_ != manager.listChanges()) {
        unsigned id = params.TopId(params.iLookId("_FX_"));
        for (const EffectEntry*& entry : effects_) {
            entry = manager.findEntry(params.text(id));
            id = params.NextId(id);
        }
        foundIn_ = &manager;
        foundAt_ = manager.listChanges();
    }
    return effects_.data();
}

void ObjectTemplate::keepSources(const std::vector<FileSource>& recorded) {
    sources_.clear();
    for (const FileSource& source : recorded)
        if (!madeFrom(source.key)) sources_.push_back(source);
}

bool ObjectTemplate::madeFrom(const std::string& key) const {
    return std::any_of(sources_.begin(), sources_.end(), [&](const FileSource& s) { return s.key == key; });
}

}  // namespace krovane::scene
