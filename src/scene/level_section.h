// The sections of a level file ("_CAMERAS_", "_LIGHTS_", "_EFFECTS_",
// "_OBJECTS_"): reading the file, walking the entries a section lists,
// finding where an entry's keys are, and the lines a manager prints for each
// entry and at the end. Every manager reads its section the same way.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string_view>
#include <vector>

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

// Whether the key name `a` may be `b` misspelt: not `b`, but `b` with letter
// case changed or at most two letters added, left out or changed.
inline bool misspelt(std::string_view a, std::string_view b) {
    if (a == b || a.size() > b.size() + 2 || b.size() > a.size() + 2) return false;
    const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    // The edit distance, one row at a time.
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] = std::min({above + 1, row[j - 1] + 1, diagonal + (upper(a[i - 1]) != upper(b[j - 1]) ? 1 : 0)});
            diagonal = above;
        }
    }
    return row[b.size()] <= 2;
}

// What an entry lacking `key` is told: "box: no _OBJECT_PATH_", and " (found
// _OBJECT_PATH)" when one of its keys is `key` misspelt.
inline Korvane_string lackingKey(const DynamicRow& tree, unsigned entry, const char* key) {
    Korvane_string line = tree.iLookName(entry);
    line += ": no ";
    line += key;
    const unsigned count = tree.iCountParams(entry) + tree.iCountKnots(entry);
    unsigned id = tree.TopId(entry);
    for (unsigned i = 0; i < count && id != 0; ++i, id = tree.NextId(id)) {
        const Korvane_string name = tree.iLookName(id);
        if (!misspelt(name.view(), key)) continue;
        line += " (found ";
        line += name;
        line += ")";
        break;
    }
    return line;
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
