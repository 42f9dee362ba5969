// Krovane_Effect_Manager: the shader effects of the level, read from the level
// file's "_EFFECTS_" section, in a list numbered in order of adding. Objects
// find their effects here by name when they draw.
//
// A level lists effects by name under "_EFFECTS_"; each holds, under its own
// entry there (or else under the first node of its name in the tree), "_FILE_FX_" (the effect file) and "_FILE_" (a
// parameter file, or "none"). An effect whose file is missing or does not
// build still takes its number and is counted, but is not listed.
//
// Where files are watched, an effect file that changed is built again
// (reloadFile): the effects made from it take the new build only when it
// builds, and an effect that failed at start takes its number when it does.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "gfx/effect.h"
#include "gfx/geometry.h"
#include "log/log.h"
#include "params/dynamic_row.h"
#include "params/korvane_string.h"
#include "scene/effect_bindings.h"
#include "scene/file_source.h"
#include "scene/numbered_list.h"

class Krovane_Camera_Manager;

class Krovane_Effect_Manager {
public:
    struct EffectEntry {
        std::string name;
        krovane::gfx::Ref<krovane::gfx::Effect> effect;
        DynamicRow params;                        // the parameter file's tree; empty for "none"
        krovane::scene::EffectBindings bindings;  // what objects are drawn through, found once
        std::string file;                         // the effect file, as the level names it
    };

    // `device` (borrowed, null: no effect can be made) is the engine's
    // device, which effects are made on.
    Krovane_Effect_Manager(krovane::gfx::Device* device, krovane::log::Log& console,
                           Krovane_Camera_Manager& cameraManager);
    virtual ~Krovane_Effect_Manager();
    Krovane_Effect_Manager(const Krovane_Effect_Manager&) = delete;
    Krovane_Effect_Manager& operator=(const Krovane_Effect_Manager&) = delete;

    // Adds every effect listed under "_EFFECTS_", in order, then prints the summary.
    void LoadEffects(const DynamicRow& tree);

    // The effect of the first entry named exactly `name`, or null. Copies the
    // current camera's view and projection into the two matrices (identity
    // without a camera) and sets "View_Pos" on the effect found to the
    // camera's position with w = 1 (the origin without a camera).
    krovane::gfx::Effect* FindEffect(const Korvane_string& name, krovane::gfx::Matrix* view,
                                     krovane::gfx::Matrix* projection);

    // FindEffect in two steps, for objects that keep what they found. The
    // first entry named exactly `name`, or null; it holds while
    // listChanges() stays the same (entries live as long as the manager).
    const EffectEntry* findEntry(std::string_view name) const;
    // Counts the changes of the list: entries are only added, and an effect
    // that comes back (its file builds again) counts as a change too.
    std::uint32_t listChanges() const { return entries_.count() + revived_; }
    // What FindEffect does with the entry it found: points `view` and
    // `projection` at the current camera's (the identity without a camera)
    // and sets "View_Pos" on the entry's effect.
    krovane::gfx::Effect* useEntry(const EffectEntry& entry, const krovane::gfx::Matrix*& view,
                                   const krovane::gfx::Matrix*& projection) const;

    // Appends the effect files of the level's effects, those that failed included.
    void sourceFiles(std::vector<krovane::scene::FileSource>& out) const;
    // Builds every effect made from the file at `key` (see FileSource) again:
    // all of them take the new build, or, when it fails (its path and why
    // printed as Error lines, as at start), none. An effect that failed at start
    // is listed under its number once it builds. Prints one line naming the
    // file (see FileSource); nothing when no effect names it.
    krovane::scene::ReloadOutcome reloadFile(const std::string& key);

    std::uint32_t effectCount() const { return entries_.count(); }
    const krovane::scene::NumberedList<EffectEntry>& entries() const { return entries_; }

private:
    // Makes one effect; when its file fails the file path is printed as an
    // error line, then why (see CreateEffectFromFileA; an entry without
    // "_FILE_FX_": its name and the key), and the effect is not listed,
    // though it uses up its number.
    void addEffect(const Korvane_string& name, const DynamicRow& tree, unsigned listedNode);

    // An effect that failed: what it takes to make it later.
    struct FailedEffect {
        std::uint32_t number;
        std::string name, file, dataFile;  // dataFile: "" for none
    };

    krovane::gfx::Device* device_;
    krovane::scene::NumberedList<EffectEntry> entries_;
    std::vector<FailedEffect> failed_;
    std::uint32_t revived_ = 0;  // failed effects listed since
    krovane::log::Log& console_;
    Krovane_Camera_Manager& cameraManager_;
};
