#include "x_writer.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <limits>

#include "formats/x_tokenizer.h"

namespace krovane::import {

using namespace krovane::formats::xbin;

std::string xNumber(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(static_cast<float>(value)));
    return text;
}

XWriter::XWriter(bool binary) : binary_(binary) { out_ = binary ? "xof 0303bin 0032" : "xof 0303txt 0032\n"; }

void XWriter::token(std::uint16_t id) {
    out_ += static_cast<char>(id & 0xFF);
    out_ += static_cast<char>(id >> 8);
}

void XWriter::u32(std::uint32_t value) {
    char bytes[4];
    for (int k = 0; k < 4; ++k) bytes[k] = static_cast<char>((value >> (8 * k)) & 0xFF);
    out_.append(bytes, 4);
}

void XWriter::word(std::uint16_t id, std::string_view text) {
    endList();
    token(id);
    u32(static_cast<std::uint32_t>(text.size()));
    out_ += text;
}

void XWriter::startList(List kind) {
    if (list_ == kind) return;
    endList();
    token(kind == List::Integers ? kIntegerList : kFloatList);
    listCountAt_ = out_.size();
    u32(0);  // the count, set when the list ends
    list_ = kind;
    listCount_ = 0;
}

void XWriter::endList() {
    if (list_ == List::None) return;
    for (int k = 0; k < 4; ++k) out_[listCountAt_ + k] = static_cast<char>((listCount_ >> (8 * k)) & 0xFF);
    list_ = List::None;
}

void XWriter::open(std::string_view type, std::string_view name) {
    if (!binary_) {
        out_ += type;
        if (!name.empty()) (out_ += ' ') += name;
        out_ += " {";
        return;
    }
    word(kName, type);
    if (!name.empty()) word(kName, name);
    token(kOpenBrace);
}

void XWriter::reference(std::string_view name) {
    if (!binary_) {
        ((out_ += "{ ") += name) += " }";
        return;
    }
    endList();
    token(kOpenBrace);
    word(kName, name);
    token(kCloseBrace);
}

void XWriter::close() {
    if (!binary_) {
        out_ += '}';
        return;
    }
    endList();
    token(kCloseBrace);
}

void XWriter::integer(std::uint64_t value) {
    if (!binary_) {
        char text[24];
        out_.append(text, std::to_chars(text, text + sizeof text, value).ptr);
        return;
    }
    startList(List::Integers);
    u32(value > std::numeric_limits<std::uint32_t>::max() ? std::numeric_limits<std::uint32_t>::max()
                                                          : static_cast<std::uint32_t>(value));
    ++listCount_;
}

void XWriter::real(double value) {
    if (!binary_) {
        out_ += xNumber(value);
        return;
    }
    startList(List::Floats);
    const float f = static_cast<float>(value);
    std::uint32_t bits;
    std::memcpy(&bits, &f, 4);
    u32(bits);
    ++listCount_;
}

void XWriter::string(std::string_view value) {
    if (!binary_) {
        ((out_ += '"') += value) += '"';
        return;
    }
    word(kString, value);
    token(kSemicolon);
}

void XWriter::declareTemplate(std::string_view name, std::string_view guid,
                              const std::vector<std::pair<std::string, std::string>>& members) {
    if (!binary_) {
        (((out_ += "template ") += name) += " {\n <") += guid;
        out_ += ">\n";
        for (const auto& [type, member] : members) ((((out_ += ' ') += type) += ' ') += member) += ";\n";
        out_ += "}\n";
        return;
    }
    endList();
    token(kTemplate);
    word(kName, name);
    token(kOpenBrace);
    // The GUID's text XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX as its 16 bytes: three
    // little-endian fields, then eight bytes as written.
    std::string hex;
    for (char c : guid)
        if (c != '-') hex += c;
    const auto byteAt = [&](std::size_t i) {
        unsigned value = 0;
        std::from_chars(hex.data() + 2 * i, hex.data() + 2 * i + 2, value, 16);
        return static_cast<char>(value);
    };
    token(kGuid);
    static constexpr int kOrder[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    for (int i : kOrder) out_ += byteAt(static_cast<std::size_t>(i));
    for (const auto& [type, member] : members) {
        token(type == "DWORD" ? kDword : kFloat);
        word(kName, member);
        token(kSemicolon);
    }
    token(kCloseBrace);
}

const std::string& XWriter::finish() {
    endList();
    return out_;
}

}  // namespace krovane::import
