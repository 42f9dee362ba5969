// The sections of a level file ("_CAMERAS_", "_LIGHTS_", "_EFFECTS_",
// "_OBJECTS_"): reading the file, walking the entries a section lists,
// finding where an entry's keys are, and the lines a manager prints for each
// entry and at the end. Every manager reads its section the same way.
#pragma once

#include <cstdint>

#include "params/dynamic_row.h"
#include "params/korvane_string.h"

namespace krovane::scene {

// The level file `file` (an engine path) as a tree; empty when it is missing
// or does not parse.
inline DynamicRow readLevel(const char* file) {
    DynamicRow tree;
    tree.fresh();
    if (file != nullptr) tree.iLoadFromFile(Korvane_string(file));
    return tree;
}

// Calls visit(entry) for each child of the first node named `section`, in
// order. The number of children is taken once, at the start.
template <class Visit>
void forEachListed(const DynamicRow& tree, const char* section, Visit&& visit) {
    const unsigned id = tree.iLookId(section);
    const unsigned count = tree.iCountParams(id) + tree.iCountKnots(id);
    unsigned entry = tree.TopId(id);
    for (unsigned i = 0; i < count && entry != 0; ++i, entry = tree.NextId(entry)) visit(entry);
}

// Where the keys of the entry `listed` (0: none listed) named `name` are:
// under the entry itself when it holds any, so that a node of the same name
// elsewhere never lends it its keys; else under the first node of that name
// in the whole tree.
inline unsigned entryKeys(const DynamicRow& tree, unsigned listed, const Korvane_string& name) {
    const bool ownKeys = listed != 0 && tree.iCountParams(listed) + tree.iCountKnots(listed) > 0;
    return ownKeys ? listed : tree.iLookId(name);
}

// Calls add(name, listed) for each entry listed under `section`, in order:
// the step with which every manager reads its section.
template <class Add>
void addListed(const DynamicRow& tree, const char* section, Add&& add) {
    forEachListed(tree, section, [&](unsigned entry) { add(tree.iLookName(entry), entry); });
}

// `label` followed by `name`: the line a manager prints for each entry added.
inline Korvane_string addedLine(const char* label, const Korvane_string& name) {
    Korvane_string line = label;
    line += name;
    return line;
}

// "<manager> setup completed with <count><rest>": the line a set-up ends with.
inline Korvane_string setupSummary(const char* manager, std::uint32_t count, const char* rest) {
    Korvane_string line = manager;
    line += " setup completed with ";
    line += static_cast<int>(count);
    line += rest;
    return line;
}

}  // namespace krovane::scene
