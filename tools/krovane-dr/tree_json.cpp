#include "tree_json.h"

#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>
#include <rapidjson/prettywriter.h>
#include <rapidjson/reader.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>

#include <vector>

#include "platform/code_page_1251.h"

namespace krovane::tools {

namespace {

template <class Writer>
void writeTree(const DynamicRow& tree, Writer& writer) {
    writer.StartArray();
    unsigned id = tree.TopId(0);
    while (id != 0) {
        const std::string text = cp1251ToUtf8(tree.text(id));
        const auto length = static_cast<rapidjson::SizeType>(text.size());
        if (tree.isKnot(id)) {
            writer.StartObject();
            writer.Key(text.data(), length);
            writer.StartArray();
            if (const unsigned first = tree.TopId(id); first != 0) {
                id = first;
                continue;
            }
            writer.EndArray();
            writer.EndObject();
        } else {
            writer.String(text.data(), length);
        }
        // Climb to the next sibling, closing each knot that has no more children.
        while (id != 0) {
            if (const unsigned next = tree.NextId(id); next != 0) {
                id = next;
                break;
            }
            id = tree.parentOf(id);
            if (id == 0) break;
            writer.EndArray();
            writer.EndObject();
        }
    }
    writer.EndArray();
}

// Builds the tree from SAX events; returning false stops the parse.
class Builder : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, Builder> {
public:
    explicit Builder(DynamicRow& tree) : tree_(tree) {}

    bool StartArray() {
        if (stack_.empty()) {
            if (started_) return fail("only one top-level array is allowed");
            started_ = true;
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
        return true;
    }
    bool Key(const char* s, rapidjson::SizeType length, bool) {
        Frame& top = stack_.back();
        if (top.type != Frame::kAwaitingKey) return fail("a knot object must have exactly one member");
        if (!convert(s, length)) return false;
        const unsigned id = tree_.AddToId(top.knot, true, text_);
        if (id == 0) return fail("too many nodes");
        top = {Frame::kAwaitingChildren, id};
        return true;
    }
    bool EndObject(rapidjson::SizeType) {
        if (stack_.back().type == Frame::kAwaitingKey) return fail("a knot object needs one member, named by the knot");
        stack_.pop_back();
        return true;
    }
    bool String(const char* s, rapidjson::SizeType length, bool) {
        if (stack_.empty() || stack_.back().type != Frame::kArray)
            return fail(stack_.empty() ? "the top level must be an array" : "a knot's member must be an array");
        if (!convert(s, length)) return false;
        if (tree_.AddToId(stack_.back().knot, false, text_) == 0) return fail("too many nodes");
        return true;
    }
    // Numbers, booleans and null have no place in a tree.
    bool Default() { return fail("only strings, objects and arrays may appear (write numbers as strings)"); }

    const std::string& error() const { return error_; }

private:
    struct Frame {
        enum Type { kArray, kAwaitingKey, kAwaitingChildren, kChildrenDone } type;
        unsigned knot;  // where children go (0: the top level)
    };

    bool convert(const char* s, rapidjson::SizeType length) {
        const std::string_view utf8(s, length);
        if (utf8.find('\0') != std::string_view::npos) return fail("a text may not contain the NUL character");
        std::size_t bad = 0;
        if (!utf8ToCp1251(utf8, text_, &bad))
            return fail("the text \"" + std::string(utf8.substr(0, 60)) +
                        "\" has a character that code page 1251 cannot hold, at byte " + std::to_string(bad));
        if (text_.size() > Korvane_string::kMaxLength) return fail("a text is longer than 1023 bytes");
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
    bool started_ = false;
};

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

void TreeJson::write(const DynamicRow& tree, std::string& out, bool pretty) {
    rapidjson::StringBuffer buffer;
    if (pretty) {
        rapidjson::PrettyWriter<rapidjson::StringBuffer> writer(buffer);
        writer.SetIndent(' ', 2);
        writeTree(tree, writer);
    } else {
        rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
        writeTree(tree, writer);
    }
    out.append(buffer.GetString(), buffer.GetSize());
}

bool TreeJson::read(std::string_view json, DynamicRow& tree, std::string& error) {
    tree.fresh();
    Builder builder(tree);
    rapidjson::Reader reader;
    rapidjson::MemoryStream stream(json.data(), json.size());
    constexpr unsigned kFlags = rapidjson::kParseIterativeFlag | rapidjson::kParseValidateEncodingFlag;
    const rapidjson::ParseResult result = reader.Parse<kFlags>(stream, builder);
    if (result.IsError()) {
        error = place(json, result.Offset()) +
                (result.Code() == rapidjson::kParseErrorTermination ? builder.error()
                                                                      : rapidjson::GetParseError_En(result.Code()));
        tree.fresh();
        return false;
    }
    return true;
}

}  // namespace krovane::tools
