#include "params/tree_text_format.h"

#include <array>
#include <cstring>
#include <vector>

#include "params/tree_walk.h"

namespace krovane::params {

namespace {

enum CharClass : unsigned char { kBare = 0, kBlank, kOpen, kClose, kQuote, kHash, kNul };

constexpr std::array<unsigned char, 256> makeClasses() {
    std::array<unsigned char, 256> table{};
    for (char c : {' ', '\t', '\r', '\n', '\v', '\f'}) table[static_cast<unsigned char>(c)] = kBlank;
    table['{'] = kOpen;
    table['}'] = kClose;
    table['"'] = kQuote;
    table['#'] = kHash;
    table[0] = kNul;
    return table;
}
constexpr std::array<unsigned char, 256> kClass = makeClasses();

unsigned char classOf(char c) { return kClass[static_cast<unsigned char>(c)]; }

class Parser {
public:
    Parser(std::string_view text, DynamicRow& tree, TreeLoadError& error) : s_(text), tree_(tree), error_(error) {}

    bool run() {
        std::vector<Open> open;  // the knots whose '}' is still to come
        unsigned parent = 0;
        for (;;) {
            skipSpace();
            if (pos_ >= s_.size()) break;
            const std::size_t start = pos_;
            switch (classOf(s_[pos_])) {
                case kOpen:
                    return fail(start, "'{' without a text before it (a knot needs a name)");
                case kClose:
                    if (open.empty()) return fail(start, "'}' without a matching '{'");
                    open.pop_back();
                    parent = open.empty() ? 0 : open.back().id;
                    ++pos_;
                    continue;
                case kNul:
                    return fail(start, "byte 0 is not allowed in a tree file");
                default:
                    break;
            }
            std::string_view text;
            if (!readText(text)) return false;
            if (text.size() > Korvane_string::kMaxLength) return fail(start, "text longer than 1023 bytes");
            skipSpace();
            const bool knot = pos_ < s_.size() && s_[pos_] == '{';
            const unsigned id = tree_.AddToId(parent, knot, text);
            if (id == 0) return fail(start, "too many nodes");
            if (knot) {
                if (open.size() >= DynamicRow::kMaxDepth) return fail(pos_, "knots nested too deeply");
                open.push_back({id, pos_});
                parent = id;
                ++pos_;
            }
        }
        if (!open.empty()) return fail(open.back().brace, "'{' is never closed");
        return true;
    }

private:
    struct Open {
        unsigned id;
        std::size_t brace;  // offset of its '{', for the error message
    };

    void skipSpace() {
        while (pos_ < s_.size()) {
            const unsigned char c = classOf(s_[pos_]);
            if (c == kBlank) {
                ++pos_;
            } else if (c == kHash) {
                const void* nl = std::memchr(s_.data() + pos_, '\n', s_.size() - pos_);
                const std::size_t end =
                    nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - s_.data()) + 1 : s_.size();
                // A NUL is refused in comments too: stop on it so the caller reports it.
                if (const void* nul = std::memchr(s_.data() + pos_, '\0', end - pos_)) {
                    pos_ = static_cast<std::size_t>(static_cast<const char*>(nul) - s_.data());
                    return;
                }
                pos_ = end;
            } else {
                return;
            }
        }
    }

    bool readText(std::string_view& text) {
        const std::size_t start = pos_;
        if (s_[pos_] != '"') {
            while (pos_ < s_.size() && classOf(s_[pos_]) == kBare) ++pos_;
            if (pos_ < s_.size() && s_[pos_] == '\0') return fail(pos_, "byte 0 is not allowed in a tree file");
            text = s_.substr(start, pos_ - start);
            return true;
        }
        ++pos_;
        scratch_.clear();
        bool escaped = false;
        for (;;) {
            const void* q = std::memchr(s_.data() + pos_, '"', s_.size() - pos_);
            if (!q) return fail(start, "quoted text is never closed");
            const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(q) - s_.data());
            if (std::memchr(s_.data() + pos_, '\0', end - pos_))
                return fail(pos_ + std::strlen(s_.data() + pos_), "byte 0 is not allowed in a tree file");
            if (end + 1 < s_.size() && s_[end + 1] == '"') {
                // A doubled quote: keep one and go on.
                scratch_.append(s_.data() + pos_, end - pos_ + 1);
                escaped = true;
                pos_ = end + 2;
                if (scratch_.size() > Korvane_string::kMaxLength) return fail(start, "text longer than 1023 bytes");
                continue;
            }
            if (escaped) {
                scratch_.append(s_.data() + pos_, end - pos_);
                text = scratch_;
            } else {
                text = s_.substr(pos_, end - pos_);
            }
            pos_ = end + 1;
            return true;
        }
    }

    bool fail(std::size_t offset, const char* message) {
        unsigned line = 1;
        std::size_t lineStart = 0;
        for (std::size_t i = 0; i < offset && i < s_.size(); ++i) {
            if (s_[i] == '\n') {
                ++line;
                lineStart = i + 1;
            }
        }
        error_.kind = TreeLoadError::Kind::Malformed;
        error_.line = line;
        error_.column = static_cast<unsigned>(offset - lineStart + 1);
        error_.message = message;
        return false;
    }

    std::string_view s_;
    std::size_t pos_ = 0;
    DynamicRow& tree_;
    TreeLoadError& error_;
    std::string scratch_;  // an unescaped quoted text
};

// Children of a knot go on its line when they are all params and short.
constexpr std::size_t kInlineWidth = 100;
// Indentation stops growing past this depth, so that a very deep tree does not
// write a file quadratic in its depth.
constexpr unsigned kMaxIndentDepth = 40;

// The width of a knot's params written on one line, counted only up to just
// past the limit.
std::size_t inlineWidth(const DynamicRow& tree, unsigned first) {
    std::size_t width = 0;
    for (unsigned c = first; c != 0 && width <= kInlineWidth; c = tree.NextId(c)) width += tree.text(c).size() + 3;
    return width;
}

void indent(unsigned depth, std::string& out) {
    out.append(static_cast<std::size_t>(depth < kMaxIndentDepth ? depth : kMaxIndentDepth) * 4, ' ');
}

bool needsQuotes(std::string_view text) {
    if (text.empty()) return true;
    for (char c : text)
        if (classOf(c) != kBare) return true;
    return false;
}

}  // namespace

bool TreeTextFormat::parse(std::string_view text, DynamicRow& tree, TreeLoadError& error) {
    return Parser(text, tree, error).run();
}

void TreeTextFormat::writeText(std::string_view text, std::string& out) {
    if (!needsQuotes(text)) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

void TreeTextFormat::write(const DynamicRow& tree, std::string& out) {
    const auto enter = [&](unsigned id, unsigned depth) {
        indent(depth, out);
        writeText(tree.text(id), out);
        bool descend = false;
        if (const unsigned first = tree.TopId(id); first == 0) {
            if (tree.isKnot(id)) out += " {}";
        } else if (tree.iCountKnots(id) == 0 && inlineWidth(tree, first) <= kInlineWidth) {
            // All params, and short: one line.
            out += " {";
            for (unsigned c = first; c != 0; c = tree.NextId(c)) {
                out += ' ';
                writeText(tree.text(c), out);
            }
            out += " }";
        } else {
            out += " {";
            descend = true;
        }
        out += '\n';
        return descend;
    };
    const auto leave = [&](unsigned, unsigned depth) {
        indent(depth, out);
        out += "}\n";
    };
    walkTree(tree, enter, leave);
}

}  // namespace krovane::params
