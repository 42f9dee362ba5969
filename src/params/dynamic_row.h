// DynamicRow: the parameter tree behind level files, object files, the command
// base, the console log and the configuration.
//
// A node has an id (never 0), a text of at most 1023 bytes, a kind (a knot,
// which holds children, or a param, which holds a value) and a place among
// its parent's children; parent 0 is the top level. Ids are given 1, 2, 3...
// in the order nodes are added (so in file order when loaded) and are never
// reused until fresh(). Children keep the order in which they were added.
//
// Every operation accepts 0 or an id that does not exist (or was deleted):
// texts come back empty, ids 0, counts 0, and adds and deletes do nothing.
//
// Costs: adding, TopId, NextId, the counts and iLookName take constant time;
// DeleteById takes time in the size of the subtree it removes (each node is
// removed once, so constant per added node overall). iLookId and iLookInFor
// answer from hash indexes in constant expected time; the indexes are built on
// the first lookup and kept up to date from then on, so trees that are only
// written and saved (the log) or loaded and walked never pay for them.
// Texts are stored back to back, not as 1024-byte values per node.
//
// A tree belongs to one thread at a time: even a lookup may build the indexes.
//
// Files use the text format of docs/tree-format.md. Loading is all or
// nothing: a missing or malformed file leaves the tree empty, and
// lastLoadError() tells why and where.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "params/korvane_string.h"
#include "params/tree_load_error.h"

namespace krovane::params {
class TreeIndex;
}

class DynamicRow {
public:
    // Files larger than this are refused before anything is read.
    static constexpr std::uint64_t kMaxFileBytes = std::uint64_t{1} << 30;
    // Nesting deeper than this is refused by the loader.
    static constexpr unsigned kMaxDepth = 100000;
    // Storage grows in chunks of 2^kNodeChunkBits nodes (72 KiB) and
    // 2^kTextChunkBits bytes of text (a text never straddles two chunks).
    static constexpr unsigned kNodeChunkBits = 11;
    static constexpr unsigned kTextChunkBits = 16;

    DynamicRow();
    ~DynamicRow();
    DynamicRow(DynamicRow&&) noexcept;
    DynamicRow& operator=(DynamicRow&&) noexcept;
    DynamicRow(const DynamicRow&);
    DynamicRow& operator=(const DynamicRow&);

    // Empties the tree; the next node added gets id 1.
    void fresh();

    // Appends a node as the last child of `parent` (0: the top level): a knot
    // when `knot` is true, else a param. Texts longer than 1023 bytes are cut;
    // a text ends at a NUL byte. Returns the new id, or 0 when the parent does
    // not exist or is a param (params hold no children).
    unsigned AddToId(unsigned parent, bool knot, const char* text);
    unsigned AddToId(unsigned parent, bool knot, const Korvane_string& text);
    unsigned AddToId(unsigned parent, bool knot, std::string_view text);

    // Cuts `text` at each `separator` and appends the pieces in order as
    // params of `parent`. Blanks and tabs around each piece are dropped; empty
    // pieces between separators are kept (so positions stay), but a text that
    // is empty or blank adds nothing. Returns the number of params added.
    unsigned AddToIdSeparated(unsigned parent, const Korvane_string& text, char separator);
    unsigned AddToIdSeparated(unsigned parent, std::string_view text, char separator);

    // Id of the first node, in id order, whose text equals `name` exactly; 0 if none.
    unsigned iLookId(const char* name) const;
    unsigned iLookId(const Korvane_string& name) const;
    unsigned iLookId(std::string_view name) const;
    // Id of the first child of `parent` with that text; 0 if none (and for parent 0).
    unsigned iLookInFor(unsigned parent, const char* name) const;
    unsigned iLookInFor(unsigned parent, std::string_view name) const;

    // First child of `id` and next sibling, in order of addition, knots and
    // params mixed; 0 at the end. TopId(0) is 0, like every query of an
    // absent id, so that a chain of lookups through a missing key ends in
    // empty texts: iLookName(TopId(iLookInFor(id, "_MISSING_"))) is "".
    // The top level is walked from firstTopLevelId().
    unsigned TopId(unsigned id) const;
    unsigned NextId(unsigned id) const;
    unsigned firstTopLevelId() const { return node(0).first; }
    // Direct children of `id` that are params / knots (0 for an absent id or 0).
    unsigned iCountParams(unsigned id) const;
    unsigned iCountKnots(unsigned id) const;

    Korvane_string iLookName(unsigned id) const;

    // Removes the node and everything under it; false when there is no such node.
    bool DeleteById(unsigned id);

    // Write / read the whole tree. The path is an engine path (code page 1251,
    // backslashes allowed, letter case forgiven; see PathResolver). Saving
    // replaces the file atomically; it fails when the folder does not exist.
    bool iSaveToFile(const Korvane_string& file) const;
    bool iLoadFromFile(const Korvane_string& file);

    // The same for a path of the operating system, as tools receive them.
    bool saveToPath(const std::filesystem::path& path) const;
    bool loadFromPath(const std::filesystem::path& path, std::string_view shownName);

    // Replaces the tree by the parsed text (all or nothing; `sourceName` names
    // it in errors).
    bool loadFromText(std::string_view text, std::string_view sourceName);
    // Appends the tree in the file format to `out`.
    void writeText(std::string& out) const;

    // Live nodes in the tree (0 when empty).
    unsigned nodeCount() const { return liveCount_; }
    const krovane::params::TreeLoadError& lastLoadError() const { return lastError_; }

    // Direct access for tools and writers that do not need a 1024-byte copy.
    bool exists(unsigned id) const { return id != 0 && id < nodeSlots_ && node(id).kind != kDead; }
    bool isKnot(unsigned id) const { return exists(id) && node(id).kind == kKnot; }
    unsigned parentOf(unsigned id) const { return exists(id) ? node(id).parent : 0; }
    std::string_view text(unsigned id) const;
    // Bytes held by the tree, indexes included.
    std::size_t memoryBytes() const;

private:
    friend class krovane::params::TreeIndex;
    enum : std::uint8_t { kDead = 0, kParam = 1, kKnot = 2 };
    struct Node {
        std::uint32_t parent;
        std::uint32_t first, last;  // children
        std::uint32_t prev, next;   // siblings
        std::uint32_t textOffset;
        std::uint32_t params, knots;
        std::uint16_t textLength;
        std::uint8_t kind;
    };

    // Nodes and texts live in fixed-size chunks: nothing is copied as the tree
    // grows, no capacity is reserved past what is used, and the chunks are
    // small enough that the allocator recycles them between trees instead of
    // mapping fresh memory from the system for every load.
    static constexpr std::uint32_t kNodeMask = (1u << kNodeChunkBits) - 1;
    static constexpr std::uint32_t kTextMask = (1u << kTextChunkBits) - 1;

    Node& node(unsigned id) { return nodeChunks_[id >> kNodeChunkBits][id & kNodeMask]; }
    const Node& node(unsigned id) const { return nodeChunks_[id >> kNodeChunkBits][id & kNodeMask]; }
    // The top level is kept as the children of a node 0 that always exists.
    bool isContainer(unsigned id) const { return id == 0 || isKnot(id); }
    // Copies a text into the text chunks; false when the 4 GiB of text offsets are used up.
    bool storeText(std::string_view text, std::uint32_t& offset);
    // Hands every chunk back to the pool they came from.
    void releaseChunks();

    std::vector<std::unique_ptr<Node[]>> nodeChunks_;
    std::uint32_t nodeSlots_ = 0;  // node 0 and every id handed out
    std::vector<std::unique_ptr<char[]>> textChunks_;
    std::uint64_t textEnd_ = 0;  // where the next text goes
    unsigned liveCount_ = 0;
    krovane::params::TreeLoadError lastError_;
    mutable std::unique_ptr<krovane::params::TreeIndex> index_;  // built on first lookup
};
