// Krovane_Object_Manager: owns the level's objects, created from the level
// file's "_OBJECTS_" section or by console command, each with an id (1, 2, 3
// in order of creation; an object that fails to load takes none) and a
// visible flag. Draws the visible ones once per light every frame and runs
// the object commands:
//   load.OBJECT_SIMPLE PATH    add an object from its parameter file, at the origin
//   show.list                  one line per object: id, visible flag, file
//   object.visible ID VALUE    show (VALUE not 0) or hide an object
//
// An "_OBJECTS_" entry is a knot of any name holding "_OBJECT_TYPE_" (only
// "_OBJECT_SIMPLE_" is made; others are skipped silently), "_OBJECT_PATH_",
// "_POSITION_" (x y z), "_ROTATION_" (degrees about x, y, z) and, if it is to be
// resized, "_SCALE_" (one number for every axis, or x y z; each above 0),
// applied to the model before it is placed. A malformed "_SCALE_" is an
// Error line, "[S.F] bad _SCALE_ (1 or 3 numbers above 0), left unscaled: PATH",
// and the object keeps its size. An entry whose model moves may name one of
// its animation sets, "_ANIMATION_" (the set's name, or its number from 1),
// to play from the start of the level; one it does not have is an Error
// line, "[A.F] no such animation (NAME) in the model, left still: PATH".
//
// An object that fails to load ("[!] Object File is corrupted and parameters
// are not loaded!") is followed by one Error line saying why: what is wrong
// with its file (see Static_CObject::whyNotRead) or, for an entry without
// "_OBJECT_PATH_", the entry and the key: "box: no _OBJECT_PATH_ (found
// _OBJECT_PATH)".
//
// The objects are listed and drawn in creation order and found by id in
// constant time. Objects naming the same parameter file, model or texture
// share one copy of it, and each object holds little more than its
// placement (see ObjectTemplate).
//
// Where files are watched (keepSources), a file that changed makes the
// objects made from it again (reloadFile): all or none.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "log/log.h"
#include "params/dynamic_row.h"
#include "params/korvane_string.h"
#include "scene/file_source.h"
#include "scene/numbered_list.h"
#include "scene/object_super.h"
#include "scene/resource_cache.h"

namespace krovane::gfx {
class Device;  // drawn on, not owned
}  // namespace krovane::gfx

class Krovane_Effect_Manager;
class Krovane_Light_Manager;
class Static_CObject;

class Krovane_Object_Manager {
public:
    struct ObjectEntry {
        std::unique_ptr<Object_Super> object;
        std::string_view path;  // as given; one copy per distinct path, held by the manager
        bool visible = true;
        // The animation set it plays, from 1 (0: none), and whether every set loops; kept through a reload.
        std::uint32_t animation = 0;
        bool loopsAlways = false;
    };

    // All pointers are borrowed: the base world matrix every object starts
    // from, the engine's device (null: objects load and draw nothing), the
    // log to print to and the two managers.
    Krovane_Object_Manager(const krovane::gfx::Matrix* baseMatrix, krovane::gfx::Device* device,
                           krovane::log::Log& console, Krovane_Effect_Manager* effectManager,
                           Krovane_Light_Manager* lightManager);
    virtual ~Krovane_Object_Manager();
    Krovane_Object_Manager(const Krovane_Object_Manager&) = delete;
    Krovane_Object_Manager& operator=(const Krovane_Object_Manager&) = delete;

    // Creates, scales, places, loads and lists one object; its id, or 0 when
    // its Load failed (then it is counted as an error and discarded).
    std::uint32_t AddObject(const Korvane_string& path, float x, float y, float z, float angleX, float angleY,
                            float angleZ, const std::array<float, 3>& scale = {1.0f, 1.0f, 1.0f});
    // Draws every visible object once per light, all objects for light 1
    // first; nothing without lights. Then, where some have blended parts,
    // those, over everything else (see Object_Super::renderBlended).
    void RenderAll();
    // Plays set `set` (from 0) of object `id`'s model from its start (see
    // Static_CObject::play); false, and the object as it was, where it has no such set.
    bool playAnimation(std::uint32_t id, std::size_t set, bool loop = false);
    // Moves every object that plays an animation on by `seconds` and poses
    // it, unless paused; a level where none plays does nothing.
    void advanceAnimations(double seconds);
    void pauseAnimations(bool paused) { paused_ = paused; }
    bool animationsPaused() const { return paused_; }
    // The ids of the objects playing an animation, in the order they started.
    const std::vector<std::uint32_t>& animated() const { return animated_; }
    // Runs one object command (the text after the target word).
    void ExecuteCommand(const Korvane_string& text);
    void PrintToConsole(const Korvane_string& text, MessageType type);
    // Creates the objects of "_OBJECTS_" and prints the summary.
    void LoadObjects(const DynamicRow& tree);

    // With `keep`, the objects added from now on remember which files they
    // were made from (model, textures, every texture path tried), for
    // sourceFiles and reloadFile; a level not watched keeps nothing.
    void keepSources(bool keep) { keepSources_ = keep; }
    // Appends the files the objects were made from: each object's parameter
    // file and, where kept, what its template was made from. A file may come
    // more than once.
    void sourceFiles(std::vector<krovane::scene::FileSource>& out) const;
    // Makes every object made from the file at `key` (see FileSource) again,
    // with its id, place and visibility. The new objects replace the old
    // only when that file loaded and every one of them did, with the model
    // it names; else the old stay. Objects of one template are tried one first, so that a failure
    // is reported once. Prints one line naming the file (see FileSource);
    // nothing when no object was made from it.
    krovane::scene::ReloadOutcome reloadFile(const std::string& key);

    // Hands the objects' resource cache a model already parsed from the file
    // at `enginePath` (see ResourceCache::adoptModel), so that the object
    // naming it does not parse the file again; before the objects load.
    void adoptModel(const char* enginePath, krovane::formats::XModel&& model,
                    const krovane::platform::FileStamp& stamp) {
        resources_.adoptModel(enginePath, std::move(model), stamp);
    }

    // Ids are never reused, so the last id given is also the count of objects added.
    std::uint32_t lastId() const { return entries_.count(); }
    std::uint32_t objectCount() const { return entries_.count(); }
    std::uint32_t errors() const { return errors_; }
    const krovane::scene::NumberedList<ObjectEntry>& entries() const { return entries_; }
    // The entry with that id, or null.
    ObjectEntry* entry(std::uint32_t id) const { return entries_.find(id); }

private:
    // Constructs, scales, places and loads one object (`loaded`: what its
    // Load said), and says why when it does not load. Where files are kept,
    // records the files it looks up when it may make its file's template, or
    // always with `record`.
    std::unique_ptr<Static_CObject> makeObject(const char* path, const float position[3], const float rotation[3],
                                               const float scale[3], bool& loaded, bool record = false);

    // Plays the set `named` (a name, else a number from 1) on object `id`, or says it has none.
    void playNamed(std::uint32_t id, const Korvane_string& named, const Korvane_string& path);

    krovane::scene::ResourceCache resources_;            // outlives the objects, declared after it
    std::unordered_set<std::string> paths_;              // the objects' paths, each once
    krovane::scene::NumberedList<ObjectEntry> entries_;  // destroyed first, in order of id
    const krovane::gfx::Matrix* baseMatrix_;
    krovane::gfx::Device* device_;
    std::uint32_t errors_ = 0;
    krovane::log::Log& console_;
    Krovane_Effect_Manager* effectManager_;
    Krovane_Light_Manager* lightManager_;
    bool keepSources_ = false;
    std::vector<krovane::scene::FileSource> sources_;  // what the object being made looked up
    Korvane_string lacking_;  // why the level entry being added names no file; empty for the others
    std::vector<std::uint32_t> animated_;
    bool paused_ = false;
};
