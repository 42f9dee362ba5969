// Sharing the files the level's objects name, read again when they change.
#include "scene/resource_cache.h"

#include "gfx/texture.h"
#include "gfx/texture_loader.h"
#include "platform/path_resolver.h"
#include "scene/object_template.h"

using namespace krovane::gfx;

namespace krovane::scene {

// Users may outlive the cache: they keep their own handles.
ResourceCache::~ResourceCache() = default;

bool ResourceCache::locate(const char* enginePath, std::string& key, Stamp& stamp) {
    if (enginePath == nullptr) return false;
    Located* known = nullptr;
    if (snapshot_) {
        const auto [it, added] = located_.try_emplace(enginePath);
        known = &it->second;
        if (!added) {
            key = known->key;
            stamp = known->stamp;
            if (recording_ != nullptr) recording_->push_back({key, enginePath});
            return known->there;
        }
    }
    const std::filesystem::path path = krovane::platform::PathResolver::resolve(enginePath);
    const bool there = krovane::platform::fileStamp(path, stamp);
    key = path.string();
    if (known != nullptr) *known = Located{there, key, stamp};
    if (recording_ != nullptr) recording_->push_back({key, enginePath});
    return there;
}

bool ResourceCache::holdsCurrent(const std::string& key) const {
    Stamp now;
    if (!krovane::platform::fileStamp(key, now)) return false;
    const auto tree = parameters_.find(key);
    if (tree != parameters_.end() && tree->second.stamp == now) return true;
    for (const Resources* map : {&models_, &textures_}) {
        const auto found = map->find(key);
        if (found != map->end() && found->second.stamp == now) return true;
    }
    return false;
}

Ref<const SharedRow> ResourceCache::parameters(const char* enginePath) {
    std::string key;
    Stamp stamp;
    const bool there = locate(enginePath, key, stamp);
    if (there) {
        const auto found = parameters_.find(key);
        if (found != parameters_.end() && found->second.stamp == stamp) return found->second.tree;
    }
    auto tree = Ref<SharedRow>::adopt(new SharedRow);
    const bool read = enginePath != nullptr && tree->iLoadFromFile(Korvane_string(enginePath));
    // Only a tree read whole (even an empty one) is shared; a failure is found out again by each user.
    if (there && read) parameters_[key] = Parameters{tree, stamp};
    return tree;
}

ResourceCache::Resource* ResourceCache::find(Resources& map, const std::string& key, const Stamp& stamp,
                                             Device* device) {
    const auto found = map.find(key);
    if (found == map.end()) return nullptr;
    if (found->second.stamp == stamp && found->second.device == device) return &found->second;
    forget(map, found);  // changed on disk since it was read
    return nullptr;
}

ResourceCache::Resource& ResourceCache::store(Resources& map, const std::string& key, Resource entry) {
    const auto old = map.find(key);
    if (old != map.end()) forget(map, old);
    resources_[entry.resource.get()] = {&map, key};
    return map.emplace(key, std::move(entry)).first->second;
}

void ResourceCache::forget(Resources& map, Resources::iterator it) {
    resources_.erase(it->second.resource.get());
    map.erase(it);
}

void ResourceCache::adoptModel(const char* enginePath, krovane::formats::XModel&& model, const Stamp& stamp) {
    if (enginePath == nullptr) return;
    adopted_[krovane::platform::PathResolver::resolve(enginePath).string()] = Adopted{std::move(model), stamp};
}

Result ResourceCache::model(const char* enginePath, Device* device, std::vector<ModelMaterial>& materials,
                            Ref<Mesh>* mesh, std::string* error) {
    std::string key;
    Stamp stamp;
    if (device == nullptr || mesh == nullptr || !locate(enginePath, key, stamp))
        return LoadMeshFromX(enginePath, device, materials, mesh, error);
    auto adopted = adopted_.extract(key);  // used by this lookup or by none
    if (Resource* entry = find(models_, key, stamp, device)) {
        materials = entry->materials;
        *mesh = Ref<Mesh>(static_cast<Mesh*>(entry->resource.get()));
        return kOk;
    }
    const Result loaded = !adopted.empty() && adopted.mapped().stamp == stamp
                              ? LoadMeshFromX(enginePath, std::move(adopted.mapped().model), device, materials, mesh, error)
                              : LoadMeshFromX(enginePath, device, materials, mesh, error);
    if (failed(loaded)) return loaded;
    store(models_, key, Resource{*mesh, device, stamp, materials});
    return loaded;
}

Result ResourceCache::texture(Device* device, const char* enginePath, Ref<Texture>* texture) {
    std::string key;
    Stamp stamp;
    if (device == nullptr || texture == nullptr) return loadTextureFromFile(device, enginePath, texture);
    // No file there: what the loader would say, without looking again.
    texture->reset();
    if (!locate(enginePath, key, stamp)) return kFail;
    if (Resource* entry = find(textures_, key, stamp, device)) {
        *texture = Ref<Texture>(static_cast<Texture*>(entry->resource.get()));
        return kOk;
    }
    const Result loaded = loadTextureFromFile(device, enginePath, texture);
    if (failed(loaded)) return loaded;
    store(textures_, key, Resource{*texture, device, stamp, {}});
    return loaded;
}

void ResourceCache::forgetUnused(const RefCounted* resource) {
    // Found only while the cache holds it, so `resource` is alive when found.
    const auto owner = resources_.find(resource);
    if (owner == resources_.end()) return;
    // The last user gone, only the cache's own handle is left.
    if (owner->second.first->at(owner->second.second).resource->references() == 1) {
        Resources& map = *owner->second.first;
        forget(map, map.find(owner->second.second));
    }
}

ObjectTemplate* ResourceCache::objectTemplate(const DynamicRow* params) const {
    const auto found = templates_.find(params);
    return found != templates_.end() ? found->second : nullptr;
}

void ResourceCache::keepTemplate(ObjectTemplate* made) { templates_[made->tree()] = made; }

void ResourceCache::forgetTemplate(const ObjectTemplate* made) {
    const auto found = templates_.find(made->tree());
    if (found != templates_.end() && found->second == made) templates_.erase(found);
}

}  // namespace krovane::scene
