// ObjectTemplate: what every object read from one parameter file shares,
// made when the first of them loads: the model with its materials (ambient
// taken from diffuse; how their alpha shows) and textures, how many effects
// the file names, and those effects as last found in the effect manager. Objects point to it
// and keep only what is their own (placement, world matrix); the last one to
// go gives the model and textures back to the resource cache (a Ref each). Where files
// are watched, it also keeps the files it was made from.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "formats/render_values.h"
#include "gfx/device_types.h"
#include "gfx/mesh.h"
#include "gfx/ref.h"
#include "gfx/ref_counted.h"
#include "gfx/texture.h"
#include "params/dynamic_row.h"
#include "scene/file_source.h"
#include "scene/krovane_effect_manager.h"

namespace krovane::scene {

class ResourceCache;

class ObjectTemplate final : public krovane::gfx::RefCounted {
public:
    using EffectEntry = Krovane_Effect_Manager::EffectEntry;

    // Made from the parameter tree `tree`. `textures` has one entry per
    // material, empty where it has none; so has `alpha`, or none where every
    // material is opaque. With a `cache`, the model and the textures came
    // from it and go back to it, and the cache stops handing this template
    // out when it goes.
    ObjectTemplate(ResourceCache* cache, const DynamicRow* tree, krovane::gfx::Ref<krovane::gfx::Mesh> mesh,
                   std::vector<krovane::gfx::Material> materials,
                   std::vector<krovane::gfx::Ref<krovane::gfx::Texture>> textures, std::uint32_t effectCount,
                   std::vector<krovane::formats::MaterialAlpha> alpha = {});
    ~ObjectTemplate() override;

    const DynamicRow* tree() const { return tree_; }

    // Whether an object that loaded this model, these materials (with this
    // alpha) and these textures may share this template.
    bool sameAs(const krovane::gfx::Mesh* mesh, const std::vector<krovane::gfx::Material>& materials,
                const std::vector<krovane::gfx::Ref<krovane::gfx::Texture>>& textures,
                const std::vector<krovane::formats::MaterialAlpha>& alpha) const;

    krovane::gfx::Mesh* mesh() const { return mesh_.get(); }
    std::uint32_t materialCount() const { return static_cast<std::uint32_t>(materials_.size()); }
    const krovane::gfx::Material& material(std::uint32_t i) const { return materials_[i]; }
    krovane::gfx::Texture* texture(std::uint32_t i) const { return textures_[i].get(); }
    // How material i's alpha shows.
    const krovane::formats::MaterialAlpha& alpha(std::uint32_t i) const { return alpha_.empty() ? kOpaque : alpha_[i]; }
    // Whether some material is blended.
    bool blends() const { return blends_; }
    std::uint32_t effectCount() const { return effectCount_; }

    // The entry of each effect listed under "_FX_" in `params` (null where
    // `manager` has none of that name), in list order: found by name when
    // first asked and again only after the manager's list changed.
    const EffectEntry* const* effects(const Krovane_Effect_Manager& manager, const DynamicRow& params);

    // The files it was made from (parameter file, model, every texture path
    // tried), each once; empty unless they were kept (see ResourceCache::recordSources).
    const std::vector<FileSource>& sources() const { return sources_; }
    void keepSources(const std::vector<FileSource>& recorded);
    // Whether the file at `key` is one of its sources.
    bool madeFrom(const std::string& key) const;

    // A texture as the model names it, and the model, for a level check's
    // warnings, which the log does not report: one shown through the stand-in
    // "textures\_def\def.bmp" because its own file is missing or
    // unreadable, and one with transparent pixels.
    struct TextureNote {
        std::string texture;
        std::string model;
    };
    const std::vector<TextureNote>& standIns() const { return standIns_; }
    const std::vector<TextureNote>& transparentTextures() const { return transparent_; }
    void noteTextures(std::vector<TextureNote> standIns, std::vector<TextureNote> transparent) {
        standIns_ = std::move(standIns);
        transparent_ = std::move(transparent);
    }

private:
    ResourceCache* cache_;
    const DynamicRow* tree_;
    krovane::gfx::Ref<krovane::gfx::Mesh> mesh_;
    std::vector<krovane::gfx::Material> materials_;
    std::vector<krovane::gfx::Ref<krovane::gfx::Texture>> textures_;
    std::vector<krovane::formats::MaterialAlpha> alpha_;  // empty where every material is opaque
    bool blends_ = false;
    static constexpr krovane::formats::MaterialAlpha kOpaque{};
    std::uint32_t effectCount_;
    std::vector<const EffectEntry*> effects_;  // one per listed effect
    const Krovane_Effect_Manager* foundIn_ = nullptr;
    std::uint32_t foundAt_ = 0;  // the manager's listChanges() when they were found
    std::vector<FileSource> sources_;
    std::vector<TextureNote> standIns_, transparent_;
};

}  // namespace krovane::scene
