#include "params/dynamic_row.h"

#include <algorithm>
#include <cstring>

#include "params/tree_index.h"
#include "params/tree_text_format.h"
#include "platform/file_io.h"
#include "platform/path_resolver.h"

using krovane::params::TreeIndex;
using krovane::params::TreeTextFormat;

DynamicRow::DynamicRow() { fresh(); }
DynamicRow::~DynamicRow() = default;
DynamicRow::DynamicRow(DynamicRow&&) noexcept = default;
DynamicRow& DynamicRow::operator=(DynamicRow&&) noexcept = default;

DynamicRow::DynamicRow(const DynamicRow& other)
    : nodes_(other.nodes_),
      texts_(other.texts_),
      liveCount_(other.liveCount_),
      fromFile_(other.fromFile_),
      lastError_(other.lastError_) {}

DynamicRow& DynamicRow::operator=(const DynamicRow& other) {
    if (this != &other) {
        DynamicRow copy(other);
        *this = std::move(copy);
    }
    return *this;
}

void DynamicRow::fresh() {
    nodes_.clear();
    nodes_.push_back(Node{0, 0, 0, 0, 0, 0, 0, 0, 0, kKnot});  // the top level
    texts_.clear();
    liveCount_ = 0;
    fromFile_ = false;
    lastError_ = TreeLoadError{};
    index_.reset();
}

std::string_view DynamicRow::text(unsigned id) const {
    if (!exists(id)) return {};
    const Node& n = nodes_[id];
    return {texts_.data() + n.textOffset, n.textLength};
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
    if (nodes_.size() >= 0xFFFFFFFFu) return 0;  // ids are 32-bit
    const void* nul = std::memchr(text.data(), '\0', text.size());
    if (nul) text = text.substr(0, static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
    if (text.size() > Korvane_string::kMaxLength) text = text.substr(0, Korvane_string::kMaxLength);
    if (texts_.size() + text.size() > 0xFFFFFFFFu) return 0;  // text offsets are 32-bit

    const auto id = static_cast<std::uint32_t>(nodes_.size());
    Node node{};
    node.parent = parent;
    node.textOffset = static_cast<std::uint32_t>(texts_.size());
    node.textLength = static_cast<std::uint16_t>(text.size());
    node.kind = knot ? kKnot : kParam;
    texts_.append(text);

    Node& p = nodes_[parent];
    node.prev = p.last;
    if (knot)
        ++p.knots;
    else
        ++p.params;
    const std::uint32_t previousLast = p.last;
    p.last = id;
    if (previousLast == 0) p.first = id;
    nodes_.push_back(node);  // may move nodes_: `p` is not used after this
    if (previousLast != 0) nodes_[previousLast].next = id;
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

unsigned DynamicRow::TopId(unsigned id) const { return isKnot(id) ? nodes_[id].first : 0; }

unsigned DynamicRow::NextId(unsigned id) const { return exists(id) ? nodes_[id].next : 0; }

unsigned DynamicRow::iCountParams(unsigned id) const { return isKnot(id) ? nodes_[id].params : 0; }

unsigned DynamicRow::iCountKnots(unsigned id) const { return isKnot(id) ? nodes_[id].knots : 0; }

Korvane_string DynamicRow::iLookName(unsigned id) const { return Korvane_string(text(id)); }

bool DynamicRow::DeleteById(unsigned id) {
    if (!exists(id)) return false;
    // Unlink the node from its siblings and its parent's counts.
    Node& n = nodes_[id];
    Node& p = nodes_[n.parent];
    if (n.prev != 0)
        nodes_[n.prev].next = n.next;
    else
        p.first = n.next;
    if (n.next != 0)
        nodes_[n.next].prev = n.prev;
    else
        p.last = n.prev;
    if (n.kind == kKnot)
        --p.knots;
    else
        --p.params;

    // Kill the subtree in pre-order, without recursion.
    unsigned current = id;
    for (;;) {
        Node& c = nodes_[current];
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
        while (up != id && nodes_[up].next == 0) up = nodes_[up].parent;
        if (up == id) break;
        current = nodes_[up].next;
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
    out.reserve(texts_.size() + static_cast<std::size_t>(liveCount_) * 8);
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
    // A rough size guess saves most regrowth on big files; capped so that a
    // hostile file cannot make us reserve much more than real content needs.
    constexpr std::size_t kMaxGuess = std::size_t{1} << 22;
    nodes_.reserve(std::min(text.size() / 16, kMaxGuess) + 1);
    texts_.reserve(std::min(text.size() / 2, kMaxGuess * 8));
    TreeLoadError error;
    if (!TreeTextFormat::parse(text, *this, error)) {
        fresh();
        lastError_ = std::move(error);
        lastError_.file = sourceName;
        return false;
    }
    fromFile_ = liveCount_ > 0;
    return true;
}

void DynamicRow::writeText(std::string& out) const { TreeTextFormat::write(*this, out); }

std::size_t DynamicRow::memoryBytes() const {
    return sizeof(*this) + nodes_.capacity() * sizeof(Node) + texts_.capacity() + (index_ ? index_->memoryBytes() : 0);
}
