// XReader: the tokens of a .x file body, text or binary, behind one interface
// so that the model parser reads both forms with the same code.
//
// Structure (object names, braces, references, GUIDs) comes from next(); data
// values come from readUInt / readFloat / readString, which skip separators
// and, in binary files, take numbers one at a time from integer and float
// lists across list boundaries. Data left unread in an object is skipped by
// the next call to next().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace krovane::formats {

// The token ids of binary .x files, for their reader and their writer.
namespace xbin {
inline constexpr std::uint16_t kName = 1, kString = 2, kInteger = 3, kGuid = 5, kIntegerList = 6, kFloatList = 7,
                               kOpenBrace = 10, kCloseBrace = 11, kComma = 19, kSemicolon = 20, kTemplate = 31,
                               kDword = 41, kFloat = 42;
}  // namespace xbin

enum class XTokenKind { Name, OpenBrace, CloseBrace, Guid, Template, End };

struct XToken {
    XTokenKind kind = XTokenKind::End;
    std::string text;  // the name, for Name
};

class XReader {
public:
    // `data` is the body after the 16-byte header; `offset` is where it starts
    // in the file, for messages about binary files.
    XReader(const std::uint8_t* data, std::size_t size, bool binary, bool doubles, std::size_t offset);

    // The next structural token. In an object header (`header`) every text
    // word is a name; elsewhere words that are numbers and strings are data
    // left unread and are skipped.
    bool next(XToken& token, bool header);
    bool readUInt(std::uint32_t& value);
    bool readFloat(float& value);
    // `count` floats, as readFloat would read them one by one.
    bool readFloats(float* values, std::size_t count);
    bool readString(std::string& value);
    // After an object's '{': everything up to and including its matching '}'.
    bool skipBody();
    // After the word or token `template`: the whole definition.
    bool skipTemplate();

    // A bound on how many more data values the body can hold, for checking
    // counts before allocating.
    std::size_t valuesLeft() const;

    // Records a failure at the current place, or where the last number read
    // begins; always returns false. The place is "LINE:COLUMN" in text files
    // (1-based, the column in bytes, counted in the file) and "byte N" in
    // binary ones.
    bool fail(const std::string& what);
    bool failAtValue(const std::string& what);
    const std::string& error() const { return error_; }

private:
    enum class ListKind { None, Integers, Floats };

    bool textNext(XToken& token, bool header);
    bool textNumber(double& value);
    void textSkipSpace(bool separators);
    bool binNext(XToken& token);
    bool binToken(std::uint32_t& id, std::string* name);
    bool binNumber(double& value, bool& isFloat);
    bool failAt(std::size_t at, const std::string& what);

    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t pos_ = 0;
    bool binary_;
    bool doubles_;
    std::size_t offset_;
    std::size_t valueAt_ = 0;  // where the last number read begins
    std::string error_;
    // The binary list being read: where its next value is and how many are left.
    ListKind list_ = ListKind::None;
    std::size_t listPos_ = 0;
    std::size_t listLeft_ = 0;
};

}  // namespace krovane::formats
