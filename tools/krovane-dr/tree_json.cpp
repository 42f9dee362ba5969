#include "tree_json.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <vector>

#include "params/tree_walk.h"
#include "platform/code_page_1251.h"

namespace krovane::tools {

namespace {

// Indentation of the pretty form stops growing past this many open arrays and
// objects (two per knot), so that a very deep tree writes a file linear in its
// size instead of one quadratic in its depth.
constexpr unsigned kMaxIndentLevels = 80;

// Appends `text` (UTF-8) as a JSON string: quotes, backslashes and control
// characters below U+0020 escaped, everything else as is.
void appendString(std::string_view text, std::string& out) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '"';
    for (const char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\b':
                out += "\\b";
                break;
            case '\f':
                out += "\\f";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default: {
                const auto b = static_cast<unsigned char>(c);
                if (b < 0x20) {
                    out += "\\u00";
                    out += kHex[b >> 4];
                    out += kHex[b & 0xF];
                } else {
                    out += c;
                }
            }
        }
    }
    out += '"';
}

// Walks the tree in file order without recursion. The pretty form puts every
// value on its own line, indented two spaces per open array or object:
//   [
//     {
//       "knot": [
//         "param"
//       ]
//     }
//   ]
void writeTree(const DynamicRow& tree, std::string& out, bool pretty) {
    const auto newline = [&](unsigned level) {
        if (!pretty) return;
        out += '\n';
        out.append(static_cast<std::size_t>(std::min(level, kMaxIndentLevels)) * 2, ' ');
    };
    // A knot at depth d sits in 2d + 1 open arrays and objects.
    bool first = true;  // the next node is the first in its array
    const auto enter = [&](unsigned id, unsigned depth) {
        const unsigned level = 2 * depth + 1;
        if (!first) out += ',';
        first = false;
        newline(level);
        const std::string text = cp1251ToUtf8(tree.text(id));
        if (!tree.isKnot(id)) {
            appendString(text, out);
            return false;
        }
        out += '{';
        newline(level + 1);
        appendString(text, out);
        out += pretty ? ": [" : ":[";
        if (tree.TopId(id) != 0) {
            first = true;
            return true;
        }
        out += ']';
        newline(level);
        out += '}';
        return false;
    };
    const auto leave = [&](unsigned, unsigned depth) {
        const unsigned level = 2 * depth + 1;
        newline(level + 1);
        out += ']';
        newline(level);
        out += '}';
    };
    out += '[';
    if (tree.firstTopLevelId() == 0) {
        out += ']';
        return;
    }
    params::walkTree(tree, enter, leave);
    newline(0);
    out += ']';
}

// A short, printable excerpt of a UTF-8 text for messages: at most about 40
// characters, control characters and broken sequences shown as '?'.
std::string excerpt(std::string_view utf8) {
    constexpr unsigned kMaxCharacters = 40;
    std::string out;
    std::size_t i = 0;
    unsigned count = 0;
    while (i < utf8.size() && count < kMaxCharacters) {
        const std::size_t at = i;
        const char32_t cp = cp1251_detail::decodeUtf8(utf8, i);
        if (cp == 0xFFFFFFFF || cp < 0x20 || (cp >= 0x7F && cp < 0xA0))
            out += '?';
        else
            out.append(utf8.substr(at, i - at));
        ++count;
    }
    if (i < utf8.size()) out += "...";
    return out;
}

std::string codePoint(char32_t cp) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string digits;
    for (; cp != 0 || digits.size() < 4; cp >>= 4) digits.insert(digits.begin(), kHex[cp & 0xF]);
    return "U+" + digits;
}

// Builds the tree from SAX events; returning false stops the parse.
class Builder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Builder> {
public:
    // How to find the start of the value the parse stopped on, from the offset
    // the parser reports (which for some values is just past their end).
    enum class Back {
        None,         // the offset is already where the trouble is
        String,       // just past a string's closing quote
        Bytes,        // `backBytes()` bytes past the start (true, false, null)
        EmptyObject,  // at the '}' of an object without members
    };

    explicit Builder(DynamicRow& tree) : tree_(tree) {}

    bool StartArray() {
        if (stack_.empty()) {
            stack_.push_back({Frame::kArray, 0});
            return true;
        }
        Frame& top = stack_.back();
        if (top.type != Frame::kAwaitingChildren) return fail("an array must be the value of a knot's member");
        top.type = Frame::kChildrenDone;  // the array below is this knot's one value
        stack_.push_back({Frame::kArray, top.knot});
        return true;
    }
    bool EndArray(rapidjson::SizeType) {
        stack_.pop_back();
        return true;
    }
    bool StartObject() {
        if (stack_.empty() || stack_.back().type != Frame::kArray)
            return fail(stack_.empty() ? "the top level must be an array" : "a knot's member must be an array");
        stack_.push_back({Frame::kAwaitingKey, stack_.back().knot});
        ++openKnots_;
        return true;
    }
    bool Key(const char* s, rapidjson::SizeType length, bool) {
        back_ = Back::String;
        Frame& top = stack_.back();
        if (top.type != Frame::kAwaitingKey) return fail("a knot object must have exactly one member");
        // The same limit as the tree file reader, so that every tree written
        // here reads back.
        if (openKnots_ > DynamicRow::kMaxDepth)
            return fail("knots nested more than " + std::to_string(DynamicRow::kMaxDepth) + " deep");
        if (!convert(s, length)) return false;
        const unsigned id = tree_.AddToId(top.knot, true, text_);
        if (id == 0) return fail("too many nodes");
        top = {Frame::kAwaitingChildren, id};
        back_ = Back::None;
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        if (stack_.back().type == Frame::kAwaitingKey) {
            back_ = Back::EmptyObject;
            return fail("a knot object needs one member, named by the knot");
        }
        stack_.pop_back();
        --openKnots_;
        return true;
    }
    bool String(const char* s, rapidjson::SizeType length, bool) {
        back_ = Back::String;
        if (stack_.empty() || stack_.back().type != Frame::kArray)
            return fail(stack_.empty() ? "the top level must be an array" : "a knot's member must be an array");
        if (!convert(s, length)) return false;
        if (tree_.AddToId(stack_.back().knot, false, text_) == 0) return fail("too many nodes");
        back_ = Back::None;
        return true;
    }
    // Numbers, booleans and null have no place in a tree.
    bool Null() { return literal(4); }
    bool Bool(bool value) { return literal(value ? 4 : 5); }
    bool Default() { return fail("only strings, objects and arrays may appear (write numbers as strings)"); }

    const std::string& error() const { return error_; }
    Back back() const { return back_; }
    std::size_t backBytes() const { return backBytes_; }

private:
    struct Frame {
        enum Type { kArray, kAwaitingKey, kAwaitingChildren, kChildrenDone } type;
        unsigned knot;  // where children go (0: the top level)
    };

    bool literal(std::size_t length) {
        back_ = Back::Bytes;
        backBytes_ = length;
        return Default();
    }

    bool convert(const char* s, rapidjson::SizeType length) {
        const std::string_view utf8(s, length);
        const std::string shown = "the text \"" + excerpt(utf8) + "\"";
        if (utf8.find('\0') != std::string_view::npos) return fail(shown + " contains the NUL character (\\u0000)");
        std::size_t bad = 0;
        if (!utf8ToCp1251(utf8, text_, &bad)) {
            std::size_t next = bad;
            const char32_t cp = cp1251_detail::decodeUtf8(utf8, next);
            // The parser lets an unpaired \uDC00-\uDFFF escape through as a broken sequence.
            if (cp == 0xFFFFFFFF) return fail(shown + " holds an unpaired surrogate escape, which is no character");
            return fail(shown + " holds " + codePoint(cp) + " (at byte " + std::to_string(bad) +
                        "), which code page 1251 cannot hold");
        }
        if (text_.size() > Korvane_string::kMaxLength)
            return fail(shown + " is " + std::to_string(text_.size()) +
                        " bytes long in code page 1251; the limit is 1023");
        return true;
    }
    bool fail(std::string message) {
        error_ = std::move(message);
        return false;
    }

    DynamicRow& tree_;
    std::vector<Frame> stack_;
    std::string text_;
    std::string error_;
    unsigned openKnots_ = 0;
    Back back_ = Back::None;
    std::size_t backBytes_ = 0;
};

// The offset of the opening quote of the string whose closing quote is just
// before `end`. Inside a string every quote is escaped, so the opening quote is
// the nearest one before that is not preceded by an odd run of backslashes.
std::size_t stringStart(std::string_view json, std::size_t end) {
    if (end < 2 || end > json.size()) return end;
    for (std::size_t i = end - 1; i-- > 0;) {
        if (json[i] != '"') continue;
        std::size_t slashes = 0;
        while (slashes < i && json[i - 1 - slashes] == '\\') ++slashes;
        if (slashes % 2 == 0) return i;
    }
    return end;
}

// The offset of the '{' of the empty object whose '}' is at `end`.
std::size_t objectStart(std::string_view json, std::size_t end) {
    for (std::size_t i = std::min(end, json.size()); i-- > 0;) {
        if (json[i] == '{') return i;
        if (json[i] != ' ' && json[i] != '\t' && json[i] != '\n' && json[i] != '\r') break;
    }
    return end;
}

std::string place(std::string_view json, std::size_t offset) {
    unsigned line = 1, column = 1;
    for (std::size_t i = 0; i < offset && i < json.size(); ++i) {
        if (json[i] == '\n') {
            ++line;
            column = 1;
        } else {
            ++column;
        }
    }
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": ";
}

}  // namespace

void TreeJson::write(const DynamicRow& tree, std::string& out, bool pretty) { writeTree(tree, out, pretty); }

bool TreeJson::read(std::string_view json, DynamicRow& tree, std::string& error) {
    tree.fresh();
    Builder builder(tree);
    rapidjson::Reader reader;
    rapidjson::MemoryStream stream(json.data(), json.size());
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
    const rapidjson::ParseResult result = reader.Parse<kFlags>(stream, builder);
    if (result.IsError()) {
        std::size_t offset = result.Offset();
        if (result.Code() == rapidjson::kParseErrorTermination) {
            if (builder.back() == Builder::Back::String)
                offset = stringStart(json, offset);
            else if (builder.back() == Builder::Back::EmptyObject)
                offset = objectStart(json, offset);
            else if (builder.back() == Builder::Back::Bytes && offset >= builder.backBytes())
                offset -= builder.backBytes();
        }
        error = place(json, offset) + (result.Code() == rapidjson::kParseErrorTermination
                                           ? builder.error()
                                           : rapidjson::GetParseError_En(result.Code()));
        tree.fresh();
        return false;
    }
    return true;
}

}  // namespace krovane::tools
