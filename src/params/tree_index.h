// TreeIndex: the lookup indexes of a DynamicRow (internal to params/).
//
// Two hash tables map a text, and a (parent, text) pair, to the chain of nodes
// that carry it, in id order. The chains are doubly linked through per-node
// links so that adding and removing a node are constant time and a lookup
// returns the first node of its chain, the same node a walk in id order would
// find first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

class DynamicRow;

namespace krovane::params {

class TreeIndex {
public:
    // Indexes every live node of `tree`.
    explicit TreeIndex(const DynamicRow& tree);

    void onAdd(const DynamicRow& tree, std::uint32_t id);
    void onRemove(const DynamicRow& tree, std::uint32_t id);

    std::uint32_t findByName(const DynamicRow& tree, std::string_view name) const;
    std::uint32_t findChild(const DynamicRow& tree, std::uint32_t parent, std::string_view name) const;

    std::size_t memoryBytes() const;

private:
    enum Chain { kByName = 0, kByParent = 1 };
    struct Links {
        std::uint32_t hash;  // of the text alone
        std::uint32_t next[2];
        std::uint32_t prev[2];
    };
    struct Slot {
        std::uint32_t hash;
        std::uint32_t head;  // 0: empty; kTombstone: freed
        std::uint32_t tail;
    };
    struct Table {
        std::vector<Slot> slots;
        std::size_t used = 0;  // slots with a chain or a tombstone
    };
    static constexpr std::uint32_t kTombstone = 0xFFFFFFFFu;

    static std::uint32_t hashText(std::string_view text);
    static std::uint32_t hashChild(std::uint32_t textHash, std::uint32_t parent);
    std::uint32_t keyHash(const DynamicRow& tree, Chain chain, std::uint32_t id) const;
    bool sameKey(const DynamicRow& tree, Chain chain, std::uint32_t a, std::uint32_t b) const;
    // Slot holding the chain of `id`'s key, or the slot where it would go.
    std::size_t probe(const DynamicRow& tree, Chain chain, std::uint32_t id, bool& found) const;
    void insert(const DynamicRow& tree, Chain chain, std::uint32_t id);
    void remove(const DynamicRow& tree, Chain chain, std::uint32_t id);
    void grow(Chain chain);

    std::vector<Links> links_;  // index = node id
    Table tables_[2];
};

}  // namespace krovane::params
