#include "params/tree_index.h"

#include <functional>  // std::hash of a string_view

#include "params/dynamic_row.h"

namespace krovane::params {

namespace {

// Linear probing over a power-of-two table; `match(head)` tells whether the
// chain starting at `head` has the key looked for. Returns the matching slot,
// or the first free slot (a tombstone when one was passed) with found = false.
template <class Slot, class Match>
std::size_t probeSlots(const std::vector<Slot>& slots, std::uint32_t hash, std::uint32_t tombstone, Match match,
                       bool& found) {
    const std::size_t mask = slots.size() - 1;
    std::size_t i = hash & mask;
    std::size_t firstFree = slots.size();
    for (;;) {
        const Slot& s = slots[i];
        if (s.head == 0) {
            found = false;
            return firstFree != slots.size() ? firstFree : i;
        }
        if (s.head == tombstone) {
            if (firstFree == slots.size()) firstFree = i;
        } else if (s.hash == hash && match(s.head)) {
            found = true;
            return i;
        }
        i = (i + 1) & mask;
    }
}

}  // namespace

std::uint32_t TreeIndex::hashText(std::string_view text) {
    const std::size_t h = std::hash<std::string_view>{}(text);
    return static_cast<std::uint32_t>(h ^ (h >> 32));
}

std::uint32_t TreeIndex::hashChild(std::uint32_t textHash, std::uint32_t parent) {
    // Murmur3's finaliser over the pair, so siblings spread over the table.
    std::uint32_t h = textHash ^ (parent * 0x9E3779B9u);
    h ^= h >> 16;
    h *= 0x85EBCA6Bu;
    h ^= h >> 13;
    h *= 0xC2B2AE35u;
    h ^= h >> 16;
    return h;
}

TreeIndex::TreeIndex(const DynamicRow& tree) {
    links_.resize(tree.nodeSlots_);
    // Nearly every node has a (parent, text) pair of its own, so that table is
    // sized for all of them at once; distinct texts are usually far fewer
    // (numbers and keys repeat), so the name table starts small and grows.
    std::size_t capacity = 16;
    while (capacity * 3 < (static_cast<std::size_t>(tree.liveCount_) + 1) * 4) capacity *= 2;
    tables_[kByParent].slots.assign(capacity, Slot{0, 0, 0});
    tables_[kByName].slots.assign(capacity < 1024 ? capacity : 1024, Slot{0, 0, 0});
    for (std::uint32_t id = 1; id < tree.nodeSlots_; ++id)
        if (tree.exists(id)) onAdd(tree, id);
}

std::uint32_t TreeIndex::keyHash(const DynamicRow& tree, Chain chain, std::uint32_t id) const {
    return chain == kByName ? links_[id].hash : hashChild(links_[id].hash, tree.node(id).parent);
}

bool TreeIndex::sameKey(const DynamicRow& tree, Chain chain, std::uint32_t a, std::uint32_t b) const {
    if (chain == kByParent && tree.node(a).parent != tree.node(b).parent) return false;
    return tree.text(a) == tree.text(b);
}

std::size_t TreeIndex::probe(const DynamicRow& tree, Chain chain, std::uint32_t id, bool& found) const {
    return probeSlots(
        tables_[chain].slots, keyHash(tree, chain, id), kTombstone,
        [&](std::uint32_t head) { return sameKey(tree, chain, head, id); }, found);
}

void TreeIndex::grow(Chain chain) {
    Table& table = tables_[chain];
    std::vector<Slot> old = std::move(table.slots);
    std::size_t live = 0;
    for (const Slot& s : old)
        if (s.head != 0 && s.head != kTombstone) ++live;
    // Double when mostly live; when mostly tombstones, rebuilding at the same size is enough.
    const std::size_t capacity = live * 2 >= old.size() / 2 ? old.size() * 2 : old.size();
    table.slots.assign(capacity, Slot{0, 0, 0});
    table.used = live;
    const std::size_t mask = capacity - 1;
    for (const Slot& s : old) {
        if (s.head == 0 || s.head == kTombstone) continue;
        std::size_t i = s.hash & mask;
        while (table.slots[i].head != 0) i = (i + 1) & mask;
        table.slots[i] = s;
    }
}

void TreeIndex::insert(const DynamicRow& tree, Chain chain, std::uint32_t id) {
    Table& table = tables_[chain];
    if ((table.used + 1) * 4 > table.slots.size() * 3) grow(chain);
    bool found = false;
    const std::size_t i = probe(tree, chain, id, found);
    Slot& slot = table.slots[i];
    Links& mine = links_[id];
    mine.next[chain] = 0;
    if (found) {
        // Ids only grow, so a new node always goes at the end of its chain.
        mine.prev[chain] = slot.tail;
        links_[slot.tail].next[chain] = id;
        slot.tail = id;
    } else {
        if (slot.head == 0) ++table.used;
        mine.prev[chain] = 0;
        slot = Slot{keyHash(tree, chain, id), id, id};
    }
}

void TreeIndex::remove(const DynamicRow& tree, Chain chain, std::uint32_t id) {
    Links& mine = links_[id];
    const std::uint32_t prev = mine.prev[chain], next = mine.next[chain];
    if (prev != 0) links_[prev].next[chain] = next;
    if (next != 0) links_[next].prev[chain] = prev;
    if (prev != 0 && next != 0) return;  // the slot still names the right head and tail
    bool found = false;
    const std::size_t i = probe(tree, chain, id, found);
    if (!found) return;
    Slot& slot = tables_[chain].slots[i];
    if (prev == 0) slot.head = next;
    if (next == 0) slot.tail = prev;
    if (slot.head == 0) slot = Slot{0, kTombstone, 0};
}

void TreeIndex::onAdd(const DynamicRow& tree, std::uint32_t id) {
    if (links_.size() <= id) links_.resize(tree.nodeSlots_ > id ? tree.nodeSlots_ : id + 1);
    links_[id].hash = hashText(tree.text(id));
    insert(tree, kByName, id);
    insert(tree, kByParent, id);
}

void TreeIndex::onRemove(const DynamicRow& tree, std::uint32_t id) {
    remove(tree, kByName, id);
    remove(tree, kByParent, id);
}

std::uint32_t TreeIndex::findByName(const DynamicRow& tree, std::string_view name) const {
    bool found = false;
    const std::size_t i = probeSlots(
        tables_[kByName].slots, hashText(name), kTombstone, [&](std::uint32_t head) { return tree.text(head) == name; },
        found);
    return found ? tables_[kByName].slots[i].head : 0;
}

std::uint32_t TreeIndex::findChild(const DynamicRow& tree, std::uint32_t parent, std::string_view name) const {
    bool found = false;
    const std::size_t i = probeSlots(
        tables_[kByParent].slots, hashChild(hashText(name), parent), kTombstone,
        [&](std::uint32_t head) { return tree.node(head).parent == parent && tree.text(head) == name; }, found);
    return found ? tables_[kByParent].slots[i].head : 0;
}

std::size_t TreeIndex::memoryBytes() const {
    return links_.capacity() * sizeof(Links) +
           (tables_[0].slots.capacity() + tables_[1].slots.capacity()) * sizeof(Slot);
}

}  // namespace krovane::params
