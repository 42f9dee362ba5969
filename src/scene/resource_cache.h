// ResourceCache: one copy of each file the level's objects name (parameter
// files, models, textures), shared by every object that names it.
//
// Entries are keyed by the path the file resolves to on disk and remember the
// file's stamp (platform::FileStamp): a lookup whose file has changed since
// it was read reads it again (the objects holding the old copy keep it).
// A file that cannot be read is never remembered, so every object that names
// it tries again and reports it for itself.
//
// While a level loads (between beginSnapshot and endSnapshot) the disk is
// taken as it was when each path was first looked up, so that ten thousand
// objects naming the same few files cost one look at the disk per path.
//
// Meshes and textures are handed out as handles; the cache keeps one of its
// own and lets go of an entry when the last user has given its handle back
// through release(). Parameter trees are kept while the cache lives (they
// are small) and handed out to every object that reads the same file. The
// objects read from one parameter file also share what they made of it (an
// ObjectTemplate), found here by the parsed tree while one of them holds it.
//
// A model already parsed elsewhere (the viewer parses a model file it opens
// for its size) may be handed in with adoptModel: the next lookup of its file
// uses it instead of parsing the file again, while the file is as it was.
//
// For a viewer that reloads what changes on disk, it can record every file a
// lookup names (found or not: a texture looked for in vain may appear), and
// tell whether a file it holds is the one on disk now.
#pragma once

#include <string>
#include <unordered_map>
#include <vector>

#include "formats/x_model.h"
#include "gfx/device.h"
#include "gfx/mesh.h"
#include "gfx/texture.h"
#include "params/dynamic_row.h"
#include "platform/file_io.h"
#include "scene/file_source.h"
#include "scene/shared_row.h"

namespace krovane::scene {

class ObjectTemplate;

class ResourceCache {
public:
    ResourceCache() = default;
    ~ResourceCache();
    ResourceCache(const ResourceCache&) = delete;
    ResourceCache& operator=(const ResourceCache&) = delete;

    // The parsed parameter file at an engine path, shared while any holder
    // keeps it. A file that is missing or does not parse comes back as its
    // own, unshared tree with the load error.
    krovane::gfx::Ref<const SharedRow> parameters(const char* enginePath);
    // LoadMeshFromX through the cache; the same results and reasons.
    krovane::gfx::Result model(const char* enginePath, krovane::gfx::Device* device,
                               std::vector<krovane::gfx::ModelMaterial>& materials,
                               krovane::gfx::Ref<krovane::gfx::Mesh>* mesh, std::string* error = nullptr);
    // Takes `model`, parsed from the file at `enginePath` when the file had
    // `stamp`. The next model() lookup of that file makes its mesh from it,
    // with the same results, and keeps it under that stamp as if it had read
    // the file then; a file changed since is read as usual. Used once either way.
    void adoptModel(const char* enginePath, krovane::formats::XModel&& model,
                    const krovane::platform::FileStamp& stamp);
    // loadTextureFromFile through the cache; the same results.
    krovane::gfx::Result texture(krovane::gfx::Device* device, const char* enginePath,
                                 krovane::gfx::Ref<krovane::gfx::Texture>* texture);
    // Gives back a handle from model() or texture(), leaving it empty; an
    // empty one, or one from elsewhere, is only emptied.
    template <typename T>
    void release(krovane::gfx::Ref<T>& resource) {
        const krovane::gfx::RefCounted* given = resource.get();
        resource.reset();
        forgetUnused(given);
    }

    // The template the objects read from the parameter tree `params` share
    // (see ObjectTemplate), while one of them holds it; else null.
    ObjectTemplate* objectTemplate(const DynamicRow* params) const;
    // Finds `made` as the template of the tree it was made from, from now on
    // until it goes (its destructor calls forgetTemplate).
    void keepTemplate(ObjectTemplate* made);
    void forgetTemplate(const ObjectTemplate* made);

    // While `into` is set, every lookup appends the file it named, found or
    // not, to it; null stops that.
    void recordSources(std::vector<FileSource>* into) { recording_ = into; }
    // Whether the file at `key` was read and is held as it is on disk now.
    bool holdsCurrent(const std::string& key) const;

    // Between these, each path is looked up on disk once (see above).
    void beginSnapshot() { snapshot_ = true; }
    void endSnapshot() {
        snapshot_ = false;
        located_.clear();
    }

private:
    // What a file on disk was when it was read: a changed one is read again.
    using Stamp = krovane::platform::FileStamp;
    struct Located {
        bool there = false;
        std::string key;
        Stamp stamp;
    };
    struct Resource {
        krovane::gfx::Ref<krovane::gfx::DeviceResource> resource;  // the cache's own handle
        krovane::gfx::Device* device = nullptr;
        Stamp stamp;
        std::vector<krovane::gfx::ModelMaterial> materials;  // models only
    };
    struct Parameters {
        krovane::gfx::Ref<const SharedRow> tree;
        Stamp stamp;
    };
    using Resources = std::unordered_map<std::string, Resource>;
    struct Adopted {
        krovane::formats::XModel model;
        Stamp stamp;
    };

    // The key and stamp of the file an engine path names; false when it is not there.
    bool locate(const char* enginePath, std::string& key, Stamp& stamp);
    // The live entry for `key` in `map` made from that stamp on that device, or null.
    Resource* find(Resources& map, const std::string& key, const Stamp& stamp, krovane::gfx::Device* device);
    // Stores a fresh entry, letting go of any older one under the same key.
    Resource& store(Resources& map, const std::string& key, Resource entry);
    void forget(Resources& map, Resources::iterator it);
    // Lets go of the entry of `resource` when only the cache holds it.
    void forgetUnused(const krovane::gfx::RefCounted* resource);

    bool snapshot_ = false;
    std::vector<FileSource>* recording_ = nullptr;
    std::unordered_map<std::string, Located> located_;  // by engine path, during a snapshot
    std::unordered_map<std::string, Parameters> parameters_;
    Resources models_, textures_;
    std::unordered_map<std::string, Adopted> adopted_;  // by key, until looked up
    // Which entry holds each resource handed out, for release().
    std::unordered_map<const krovane::gfx::RefCounted*, std::pair<Resources*, std::string>> resources_;
    // By parameter tree; a tree lives while an object holding its template does.
    std::unordered_map<const DynamicRow*, ObjectTemplate*> templates_;
};

}  // namespace krovane::scene
