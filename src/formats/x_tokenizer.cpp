#include "formats/x_tokenizer.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>
#include <utility>

namespace krovane::formats {

namespace {

using namespace xbin;

// Ids without a payload: punctuation and the keywords of template definitions.
bool isPlainToken(std::uint32_t id) { return (id >= 10 && id <= 20) || id == kTemplate || (id >= 40 && id <= 52); }

bool isWordEnd(std::uint8_t c) {
    return c <= ' ' || c == '{' || c == '}' || c == '<' || c == '"' || c == ',' || c == ';';
}

std::uint32_t read16(const std::uint8_t* p) { return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8; }
std::uint32_t read32(const std::uint8_t* p) {
    std::uint32_t v;
    std::memcpy(&v, p, 4);
    return v;  // little-endian files on little-endian machines
}

float toFloat(double v) {
    constexpr double kMax = std::numeric_limits<float>::max();
    if (v > kMax) return std::numeric_limits<float>::infinity();
    if (v < -kMax) return -std::numeric_limits<float>::infinity();
    return static_cast<float>(v);
}

bool toUInt(double v, std::uint32_t& out) {
    if (!(v >= 0 && v < 4294967296.0)) return false;
    out = static_cast<std::uint32_t>(v);
    return true;
}

}  // namespace

XReader::XReader(const std::uint8_t* data, std::size_t size, bool binary, bool doubles, std::size_t offset)
    : data_(data), size_(size), binary_(binary), doubles_(doubles), offset_(offset) {}

bool XReader::fail(const std::string& what) { return failAt(pos_, what); }

bool XReader::failAtValue(const std::string& what) { return failAt(valueAt_, what); }

bool XReader::failAt(std::size_t at, const std::string& what) {
    if (binary_) {
        error_ = "byte " + std::to_string(offset_ + at) + ": " + what;
    } else {
        // The body begins on the header's line, after its bytes.
        const std::uint8_t* lineStart = data_ + at;
        while (lineStart > data_ && lineStart[-1] != '\n') --lineStart;
        const auto line = 1 + std::count(data_, data_ + at, std::uint8_t('\n'));
        const std::size_t column =
            static_cast<std::size_t>(data_ + at - lineStart) + (lineStart == data_ ? offset_ : 0);
        error_ = std::to_string(line) + ":" + std::to_string(column + 1) + ": " + what;
    }
    return false;
}

std::size_t XReader::valuesLeft() const {
    if (binary_) return listLeft_ + (size_ - pos_) / 4;
    return size_ - pos_;  // a text value takes at least one character
}

bool XReader::next(XToken& token, bool header) { return binary_ ? binNext(token) : textNext(token, header); }

bool XReader::readUInt(std::uint32_t& value) {
    if (listLeft_ > 0 && list_ == ListKind::Integers) {  // the common case in binary files
        valueAt_ = listPos_;
        value = read32(data_ + listPos_);
        listPos_ += 4;
        --listLeft_;
        return true;
    }
    double v;
    if (binary_) {
        bool isFloat;
        if (!binNumber(v, isFloat)) return false;
    } else if (!textNumber(v)) {
        return false;
    }
    if (!toUInt(v, value)) return failAtValue("expected a count or an index, found " + std::to_string(v));
    return true;
}

bool XReader::readFloat(float& value) {
    if (listLeft_ > 0 && list_ == ListKind::Floats && !doubles_) {
        valueAt_ = listPos_;
        std::memcpy(&value, data_ + listPos_, 4);
        listPos_ += 4;
        --listLeft_;
        return true;
    }
    double v;
    if (binary_) {
        bool isFloat;
        if (!binNumber(v, isFloat)) return false;
    } else if (!textNumber(v)) {
        return false;
    }
    value = toFloat(v);
    return true;
}

bool XReader::readFloats(float* values, std::size_t count) {
    while (count > 0) {
        if (listLeft_ > 0 && list_ == ListKind::Floats && !doubles_) {
            // A run of a binary float list at once.
            const std::size_t run = std::min(count, listLeft_);
            std::memcpy(values, data_ + listPos_, run * 4);
            valueAt_ = listPos_ + (run - 1) * 4;
            listPos_ += run * 4;
            listLeft_ -= run;
            values += run;
            count -= run;
        } else {
            if (!readFloat(*values++)) return false;
            --count;
        }
    }
    return true;
}

// --- text ---

void XReader::textSkipSpace(bool separators) {
    while (pos_ < size_) {
        const std::uint8_t c = data_[pos_];
        if (c <= ' ' || (separators && (c == ',' || c == ';'))) {
            ++pos_;
        } else if (c == '#' || (c == '/' && pos_ + 1 < size_ && data_[pos_ + 1] == '/')) {
            const void* eol = std::memchr(data_ + pos_, '\n', size_ - pos_);
            pos_ = eol ? static_cast<std::size_t>(static_cast<const std::uint8_t*>(eol) - data_) : size_;
        } else {
            break;
        }
    }
}

bool XReader::textNumber(double& value) {
    textSkipSpace(true);
    valueAt_ = pos_;
    if (pos_ >= size_) return fail("truncated data: expected a number");
    const char* begin = reinterpret_cast<const char*>(data_ + pos_);
    const char* end = reinterpret_cast<const char*>(data_ + size_);
    const char c = *begin;
    if (!(c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9'))) return fail("expected a number");
    if (c == '+') ++begin;
    const auto [stop, ec] = std::from_chars(begin, end, value);
    if (ec == std::errc::result_out_of_range) return fail("number out of range");
    if (ec != std::errc()) return fail("expected a number");
    pos_ = static_cast<std::size_t>(reinterpret_cast<const std::uint8_t*>(stop) - data_);
    // Some writers print undefined values as "1.#QNAN0" or "-1.#IND00": read as 0.
    if (pos_ < size_ && data_[pos_] == '#') {
        while (pos_ < size_ && !isWordEnd(data_[pos_])) ++pos_;
        value = 0;
    }
    return true;
}

bool XReader::textNext(XToken& token, bool header) {
    for (;;) {
        textSkipSpace(true);
        if (pos_ >= size_) {
            token.kind = XTokenKind::End;
            return true;
        }
        const std::uint8_t c = data_[pos_];
        if (c == '{' || c == '}') {
            ++pos_;
            token.kind = c == '{' ? XTokenKind::OpenBrace : XTokenKind::CloseBrace;
            return true;
        }
        if (c == '<' || c == '"') {
            const void* close = std::memchr(data_ + pos_ + 1, c == '<' ? '>' : '"', size_ - pos_ - 1);
            if (!close) return fail(c == '<' ? "unterminated GUID" : "unterminated string");
            pos_ = static_cast<std::size_t>(static_cast<const std::uint8_t*>(close) - data_) + 1;
            if (c == '<') {
                token.kind = XTokenKind::Guid;
                return true;
            }
            if (header) return fail("expected a name or '{', found a string");
            continue;  // a string left unread
        }
        const std::size_t start = pos_;
        while (pos_ < size_ && !isWordEnd(data_[pos_])) ++pos_;
        if (!header && (c == '-' || c == '+' || c == '.' || (c >= '0' && c <= '9'))) continue;  // a number left unread
        token.text.assign(reinterpret_cast<const char*>(data_ + start), pos_ - start);
        token.kind = !header && token.text == "template" ? XTokenKind::Template : XTokenKind::Name;
        return true;
    }
}

bool XReader::readString(std::string& value) {
    if (binary_) {
        listLeft_ = 0;
        for (;;) {
            const std::size_t at = pos_;
            std::uint32_t id;
            if (!binToken(id, &value)) return false;
            if (id == kString) return true;
            if (id != kComma && id != kSemicolon) {
                pos_ = at;
                return fail(id == 0 ? "truncated data: expected a string" : "expected a string");
            }
        }
    }
    textSkipSpace(true);
    if (pos_ >= size_ || data_[pos_] != '"') return fail("expected a string");
    const void* close = std::memchr(data_ + pos_ + 1, '"', size_ - pos_ - 1);
    if (!close) return fail("unterminated string");
    const std::size_t end = static_cast<std::size_t>(static_cast<const std::uint8_t*>(close) - data_);
    value.assign(reinterpret_cast<const char*>(data_ + pos_ + 1), end - pos_ - 1);
    pos_ = end + 1;
    return true;
}

bool XReader::skipBody() {
    if (binary_) {
        listLeft_ = 0;
        for (std::size_t depth = 1;;) {
            std::uint32_t id;
            if (!binToken(id, nullptr)) return false;
            if (id == 0) return fail("missing '}'");
            if (id == kOpenBrace) ++depth;
            if (id == kCloseBrace && --depth == 0) return true;
        }
    }
    std::size_t depth = 1;
    while (pos_ < size_) {
        const std::uint8_t c = data_[pos_];
        const bool tokenStart = pos_ == 0 || isWordEnd(data_[pos_ - 1]);
        if (c == '"') {
            const void* close = std::memchr(data_ + pos_ + 1, '"', size_ - pos_ - 1);
            if (!close) return fail("unterminated string");
            pos_ = static_cast<std::size_t>(static_cast<const std::uint8_t*>(close) - data_) + 1;
            continue;
        }
        if ((c == '#' && tokenStart) || (c == '/' && pos_ + 1 < size_ && data_[pos_ + 1] == '/')) {
            textSkipSpace(false);
            continue;
        }
        ++pos_;
        if (c == '{') ++depth;
        if (c == '}' && --depth == 0) return true;
    }
    return fail("missing '}'");
}

bool XReader::skipTemplate() {
    for (;;) {
        XToken t;
        if (!next(t, true)) return false;
        if (t.kind == XTokenKind::OpenBrace) return skipBody();
        if (t.kind != XTokenKind::Name && t.kind != XTokenKind::Guid) return fail("expected '{' after template");
    }
}

// --- binary ---

// Reads one token and its payload; id 0 at the end of the data. A NAME's or
// STRING's text goes to `text` when given; a list becomes the list being read.
bool XReader::binToken(std::uint32_t& id, std::string* text) {
    if (size_ - pos_ < 2) {
        pos_ = size_;  // a stray last byte is padding
        id = 0;
        return true;
    }
    const std::size_t at = pos_;
    id = read16(data_ + pos_);
    pos_ += 2;
    const std::size_t left = size_ - pos_;
    auto truncated = [&](const char* what) {
        pos_ = at;
        return fail(std::string("truncated ") + what);
    };
    switch (id) {
        case kName:
        case kString: {
            if (left < 4) return truncated(id == kName ? "name" : "string");
            const std::uint32_t n = read32(data_ + pos_);
            if (n > left - 4) return truncated(id == kName ? "name" : "string");
            if (text) text->assign(reinterpret_cast<const char*>(data_ + pos_ + 4), n);
            pos_ += 4 + std::size_t{n};
            if (id == kString && size_ - pos_ >= 2) {
                const std::uint32_t end = read16(data_ + pos_);
                if (end == kSemicolon || end == kComma) pos_ += 2;
            }
            return true;
        }
        case kInteger:
            if (left < 4) return truncated("integer");
            listPos_ = pos_;
            pos_ += 4;
            return true;
        case kGuid:
            if (left < 16) return truncated("GUID");
            pos_ += 16;
            return true;
        case kIntegerList:
        case kFloatList: {
            const char* what = id == kIntegerList ? "integer list" : "float list";
            if (left < 4) return truncated(what);
            const std::size_t n = read32(data_ + pos_);
            const std::size_t width = id == kFloatList && doubles_ ? 8 : 4;
            if (n > (left - 4) / width) return truncated(what);
            list_ = id == kIntegerList ? ListKind::Integers : ListKind::Floats;
            listPos_ = pos_ + 4;
            listLeft_ = n;
            pos_ += 4 + n * width;
            return true;
        }
        default:
            if (isPlainToken(id)) return true;
            pos_ = at;
            return fail("unknown token " + std::to_string(id));
    }
}

bool XReader::binNext(XToken& token) {
    // The binary tokens that are structure; all others are data and punctuation, skipped here.
    static constexpr std::pair<std::uint32_t, XTokenKind> kStructure[] = {
        {0, XTokenKind::End}, {kName, XTokenKind::Name}, {kOpenBrace, XTokenKind::OpenBrace},
        {kCloseBrace, XTokenKind::CloseBrace}, {kGuid, XTokenKind::Guid}, {kTemplate, XTokenKind::Template}};
    for (;;) {
        listLeft_ = 0;  // data left unread
        std::uint32_t id;
        if (!binToken(id, &token.text)) return false;
        for (const auto& [code, kind] : kStructure)
            if (id == code) {
                token.kind = kind;
                return true;
            }
    }
}

bool XReader::binNumber(double& value, bool& isFloat) {
    for (;;) {
        if (listLeft_ > 0) {
            valueAt_ = listPos_;
            --listLeft_;
            isFloat = list_ == ListKind::Floats;
            if (isFloat && doubles_) {
                std::memcpy(&value, data_ + listPos_, 8);
                listPos_ += 8;
            } else if (isFloat) {
                float f;
                std::memcpy(&f, data_ + listPos_, 4);
                value = f;
                listPos_ += 4;
            } else {
                value = read32(data_ + listPos_);
                listPos_ += 4;
            }
            return true;
        }
        const std::size_t at = pos_;
        std::uint32_t id;
        if (!binToken(id, nullptr)) return false;
        if (id == kInteger) {
            valueAt_ = listPos_;
            value = read32(data_ + listPos_);
            isFloat = false;
            return true;
        }
        if (id == kIntegerList || id == kFloatList || id == kComma || id == kSemicolon) continue;
        pos_ = at;
        return fail(id == 0 ? "truncated data: expected a number" : "expected a number");
    }
}

}  // namespace krovane::formats
