// XWriter: writes a .x file as a stream of tokens, in the text form people
// read or in the binary form the engine loads fastest, from the same calls.
//
// Structure (objects, references, strings, numbers) goes to both forms;
// layout() is the text form's spacing and separators alone, which the binary
// form does not need. In the binary form consecutive integers become one
// integer list and consecutive floats one float list (32-bit floats).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace krovane::import {

class XWriter {
public:
    explicit XWriter(bool binary);

    bool binary() const { return binary_; }
    // Room for about `bytes` of binary output (three times as much for text), taken at once.
    void reserve(std::size_t bytes) { out_.reserve(binary_ ? bytes : bytes * 3); }

    // Text only: spacing, separators and comments.
    void layout(std::string_view text) {
        if (!binary_) out_ += text;
    }
    // "TYPE NAME {" (NAME may be empty).
    void open(std::string_view type, std::string_view name = {});
    // "{ NAME }": a reference to a named object.
    void reference(std::string_view name);
    void close();
    void integer(std::uint64_t value);
    void real(double value);  // written as a 32-bit float
    void string(std::string_view value);
    // A template of MEMBERS (each a type, DWORD or FLOAT, and a name), so
    // that other readers can step over objects of it.
    void declareTemplate(std::string_view name, std::string_view guid,
                         const std::vector<std::pair<std::string, std::string>>& members);

    // The whole file, with its header.
    const std::string& finish();

private:
    enum class List { None, Integers, Floats };
    void token(std::uint16_t id);
    void word(std::uint16_t id, std::string_view text);
    void u32(std::uint32_t value);
    void startList(List kind);
    void endList();

    bool binary_;
    std::string out_;
    List list_ = List::None;
    std::size_t listCountAt_ = 0;
    std::uint32_t listCount_ = 0;
};

// A float as the text form writes it: 7 significant digits of its 32-bit value.
std::string xNumber(double value);

}  // namespace krovane::import
