#include "params/dynamic_row.h"

#include <cstring>
#include <utility>

#include "params/block_pool.h"
#include "params/tree_index.h"
#include "params/tree_text_format.h"
#include "platform/file_io.h"
#include "platform/path_resolver.h"

using krovane::params::TreeIndex;
using krovane::params::TreeLoadError;

namespace {
// Pools for the two chunk sizes; see BlockPool for why.
template <class Node>
using NodePool = krovane::params::BlockPool<Node, std::size_t{1} << DynamicRow::kNodeChunkBits>;
using TextPool = krovane::params::BlockPool<char, std::size_t{1} << DynamicRow::kTextChunkBits>;
}  // namespace
using krovane::params::TreeTextFormat;

DynamicRow::DynamicRow() { fresh(); }
DynamicRow::~DynamicRow() { releaseChunks(); }
DynamicRow::DynamicRow(DynamicRow&& other) noexcept { *this = std::move(other); }
DynamicRow& DynamicRow::operator=(DynamicRow&& other) noexcept {
    if (this != &other) {
        releaseChunks();
        nodeChunks_ = std::move(other.nodeChunks_);
        nodeSlots_ = std::exchange(other.nodeSlots_, 0);
        textChunks_ = std::move(other.textChunks_);
        textEnd_ = std::exchange(other.textEnd_, 0);
        liveCount_ = std::exchange(other.liveCount_, 0);
        lastError_ = std::move(other.lastError_);
        index_ = std::move(other.index_);
        other.fresh();  // a moved-from tree is empty and usable
    }
    return *this;
}

void DynamicRow::releaseChunks() {
    NodePool<Node>::give(nodeChunks_);
    TextPool::give(textChunks_);
}

DynamicRow::DynamicRow(const DynamicRow& other)
    : nodeSlots_(other.nodeSlots_),
      textEnd_(other.textEnd_),
      liveCount_(other.liveCount_),
      lastError_(other.lastError_) {
    nodeChunks_.reserve(other.nodeChunks_.size());
    for (const auto& chunk : other.nodeChunks_) {
        nodeChunks_.push_back(NodePool<Node>::take());
        std::memcpy(nodeChunks_.back().get(), chunk.get(), sizeof(Node) << kNodeChunkBits);
    }
    textChunks_.reserve(other.textChunks_.size());
    for (const auto& chunk : other.textChunks_) {
        textChunks_.push_back(TextPool::take());
        std::memcpy(textChunks_.back().get(), chunk.get(), std::size_t{1} << kTextChunkBits);
    }
}

DynamicRow& DynamicRow::operator=(const DynamicRow& other) {
    if (this != &other) {
        DynamicRow copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void DynamicRow::fresh() {
    releaseChunks();
    nodeChunks_.push_back(NodePool<Node>::take());
    node(0) = Node{0, 0, 0, 0, 0, 0, 0, 0, 0, kKnot};  // the top level
    nodeSlots_ = 1;
    textEnd_ = 0;
    liveCount_ = 0;
    lastError_ = TreeLoadError{};
    index_.reset();
}

std::string_view DynamicRow::text(unsigned id) const {
    if (!exists(id)) return {};
    const Node& n = node(id);
    if (n.textLength == 0) return {};
    return {textChunks_[n.textOffset >> kTextChunkBits].get() + (n.textOffset & kTextMask), n.textLength};
}

bool DynamicRow::storeText(std::string_view text, std::uint32_t& offset) {
    if (text.empty()) {
        offset = 0;
        return true;
    }
    if (textEnd_ + text.size() > static_cast<std::uint64_t>(textChunks_.size()) << kTextChunkBits) {
        // Start a new chunk; the rest of the current one stays unused.
        if (textChunks_.size() >= (std::size_t{1} << (32 - kTextChunkBits))) return false;
        textEnd_ = static_cast<std::uint64_t>(textChunks_.size()) << kTextChunkBits;
        textChunks_.push_back(TextPool::take());
    }
    std::memcpy(textChunks_.back().get() + (textEnd_ & kTextMask), text.data(), text.size());
    offset = static_cast<std::uint32_t>(textEnd_);
    textEnd_ += text.size();
    return true;
}

unsigned DynamicRow::AddToId(unsigned parent, bool knot, const char* text) {
    return AddToId(parent, knot,
                   text ? std::string_view(text, strnlen(text, Korvane_string::kCapacity)) : std::string_view());
}

unsigned DynamicRow::AddToId(unsigned parent, bool knot, const Korvane_string& text) {
    return AddToId(parent, knot, text.view());
}

unsigned DynamicRow::AddToId(unsigned parent, bool knot, std::string_view text) {
    if (!isContainer(parent)) return 0;
    if (nodeSlots_ == 0xFFFFFFFFu) return 0;  // ids are 32-bit
    text = text.substr(0, text.find('\0'));
    if (text.size() > Korvane_string::kMaxLength) text = text.substr(0, Korvane_string::kMaxLength);

    Node fresh{};
    if (!storeText(text, fresh.textOffset)) return 0;
    const std::uint32_t id = nodeSlots_;
    if ((id & kNodeMask) == 0) nodeChunks_.push_back(NodePool<Node>::take());
    ++nodeSlots_;

    Node& p = node(parent);
    fresh.parent = parent;
    fresh.textLength = static_cast<std::uint16_t>(text.size());
    fresh.kind = knot ? kKnot : kParam;
    fresh.prev = p.last;
    if (p.last != 0)
        node(p.last).next = id;
    else
        p.first = id;
    p.last = id;
    if (knot)
        ++p.knots;
    else
        ++p.params;
    node(id) = fresh;
    ++liveCount_;
    if (index_) index_->onAdd(*this, id);
    return id;
}

unsigned DynamicRow::AddToIdSeparated(unsigned parent, const Korvane_string& text, char separator) {
    return AddToIdSeparated(parent, text.view(), separator);
}

unsigned DynamicRow::AddToIdSeparated(unsigned parent, std::string_view text, char separator) {
    auto trim = [](std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
        return s;
    };
    if (!isContainer(parent) || trim(text).empty()) return 0;
    unsigned added = 0;
    for (;;) {
        const std::size_t cut = text.find(separator);
        if (AddToId(parent, false, trim(text.substr(0, cut))) != 0) ++added;
        if (cut == std::string_view::npos) break;
        text.remove_prefix(cut + 1);
    }
    return added;
}

unsigned DynamicRow::iLookId(const char* name) const {
    return iLookId(name ? std::string_view(name, strnlen(name, Korvane_string::kCapacity)) : std::string_view());
}

unsigned DynamicRow::iLookId(const Korvane_string& name) const { return iLookId(name.view()); }

unsigned DynamicRow::iLookId(std::string_view name) const {
    if (liveCount_ == 0) return 0;
    if (!index_) index_ = std::make_unique<TreeIndex>(*this);
    return index_->findByName(*this, name);
}

unsigned DynamicRow::iLookInFor(unsigned parent, const char* name) const {
    return iLookInFor(parent,
                      name ? std::string_view(name, strnlen(name, Korvane_string::kCapacity)) : std::string_view());
}

unsigned DynamicRow::iLookInFor(unsigned parent, std::string_view name) const {
    if (liveCount_ == 0 || !isKnot(parent)) return 0;
    if (!index_) index_ = std::make_unique<TreeIndex>(*this);
    return index_->findChild(*this, parent, name);
}

unsigned DynamicRow::TopId(unsigned id) const { return isKnot(id) ? node(id).first : 0; }

unsigned DynamicRow::NextId(unsigned id) const { return exists(id) ? node(id).next : 0; }

unsigned DynamicRow::iCountParams(unsigned id) const { return isKnot(id) ? node(id).params : 0; }

unsigned DynamicRow::iCountKnots(unsigned id) const { return isKnot(id) ? node(id).knots : 0; }

Korvane_string DynamicRow::iLookName(unsigned id) const { return Korvane_string(text(id)); }

bool DynamicRow::DeleteById(unsigned id) {
    if (!exists(id)) return false;
    // Unlink the node from its siblings and its parent's counts.
    Node& n = node(id);
    Node& p = node(n.parent);
    if (n.prev != 0)
        node(n.prev).next = n.next;
    else
        p.first = n.next;
    if (n.next != 0)
        node(n.next).prev = n.prev;
    else
        p.last = n.prev;
    if (n.kind == kKnot)
        --p.knots;
    else
        --p.params;

    // Kill the subtree in pre-order, without recursion.
    unsigned current = id;
    for (;;) {
        Node& c = node(current);
        if (index_) index_->onRemove(*this, current);
        --liveCount_;
        const unsigned child = c.first;
        c.kind = kDead;
        if (child != 0) {
            current = child;
            continue;
        }
        // No children: go to the next sibling, climbing while there is none.
        unsigned up = current;
        while (up != id && node(up).next == 0) up = node(up).parent;
        if (up == id) break;
        current = node(up).next;
    }
    return true;
}

bool DynamicRow::iSaveToFile(const Korvane_string& file) const {
    return saveToPath(krovane::platform::PathResolver::resolve(file.view()));
}

bool DynamicRow::iLoadFromFile(const Korvane_string& file) {
    return loadFromPath(krovane::platform::PathResolver::resolve(file.view()), file.view());
}

bool DynamicRow::saveToPath(const std::filesystem::path& path) const {
    std::string out;
    out.reserve(static_cast<std::size_t>(textEnd_) + static_cast<std::size_t>(liveCount_) * 8);
    writeText(out);
    return krovane::platform::writeFileAtomically(path, out);
}

bool DynamicRow::loadFromPath(const std::filesystem::path& path, std::string_view shownName) {
    fresh();
    std::string content;
    using krovane::platform::ReadStatus;
    const ReadStatus status = krovane::platform::readWholeFile(path, content, kMaxFileBytes);
    if (status != ReadStatus::Ok) {
        lastError_.file = shownName;
        switch (status) {
            case ReadStatus::Missing:
                lastError_.kind = TreeLoadError::Kind::Missing;
                lastError_.message = "cannot open the file";
                break;
            case ReadStatus::TooLarge:
                lastError_.kind = TreeLoadError::Kind::Unreadable;
                lastError_.message = "the file is larger than the 1 GiB limit";
                break;
            default:
                lastError_.kind = TreeLoadError::Kind::Unreadable;
                lastError_.message = "cannot read the file";
                break;
        }
        return false;
    }
    return loadFromText(content, shownName);
}

bool DynamicRow::loadFromText(std::string_view text, std::string_view sourceName) {
    fresh();
    TreeLoadError error;
    if (!TreeTextFormat::parse(text, *this, error)) {
        fresh();
        lastError_ = std::move(error);
        lastError_.file = sourceName;
        return false;
    }
    return true;
}

void DynamicRow::writeText(std::string& out) const { TreeTextFormat::write(*this, out); }

std::size_t DynamicRow::memoryBytes() const {
    return sizeof(*this) + nodeChunks_.capacity() * sizeof(nodeChunks_[0]) +
           textChunks_.capacity() * sizeof(textChunks_[0]) + (nodeChunks_.size() * sizeof(Node) << kNodeChunkBits) +
           (textChunks_.size() << kTextChunkBits) + (index_ ? index_->memoryBytes() : 0);
}
