// Cursor files: every pixel format, the transparency rules, the choice of image and its hotspot, and a message for
// each kind of damage.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "../temp_dir.h"
#include "formats/cursor_file.h"

namespace {

using krovane::formats::CursorFile;
using krovane::formats::CursorImage;
using Values = std::vector<std::uint32_t>;

// Writes v as `bytes` little-endian bytes at `at`, by default at the end.
void put(std::string& s, std::size_t bytes, std::uint32_t v, std::size_t at = std::string::npos) {
    if (at == std::string::npos) s.resize((at = s.size()) + bytes);
    for (std::size_t k = 0; k < bytes; ++k) s[at + k] = static_cast<char>(v >> (8 * k));
}

// Rows as a bitmap stores them (bottom row first, padded to 4 bytes) of values given top row first.
std::string packRows(std::uint32_t w, std::uint32_t h, std::uint32_t bits, const Values& values) {
    std::string out;
    for (std::uint32_t row = h; row-- > 0;) {
        std::string line((w * bits + 31) / 32 * 4, '\0');
        for (std::uint32_t x = 0, bit = 0; x < w; ++x, bit += bits) {
            const std::uint32_t v = values[row * w + x];
            if (bits < 24) line[bit / 8] = char(std::uint8_t(line[bit / 8]) | v << (8 - bits - bit % 8));
            for (std::uint32_t k = 0; bits >= 24 && k < bits / 8; ++k) line[bit / 8 + k] = char(v >> (8 * k));
        }
        out += line;
    }
    return out;
}

// A bitmap image as a cursor stores it: header, palette, colour rows, and mask rows setting the `transparent` pixels.
std::string bitmap(std::uint32_t w, std::uint32_t h, std::uint32_t bits, const Values& palette, const Values& values,
                   const Values& transparent, bool withMask = true) {
    Values maskBits(w * h, 0);
    for (std::uint32_t t : transparent) maskBits[t] = 1;
    const std::string rows = packRows(w, h, bits, values) + (withMask ? packRows(w, h, 1, maskBits) : "");
    std::string s;  // planes 1, no compression
    for (std::uint32_t v :
         {40u, w, 2 * h, 1 | bits << 16, 0u, std::uint32_t(rows.size()), 0u, 0u, std::uint32_t(palette.size()), 0u})
        put(s, 4, v);
    for (std::uint32_t c : palette) put(s, 4, c);
    return s + rows;
}

struct Entry {
    std::uint32_t width, height, hotX, hotY;
    std::string data;
};

std::string cursorFile(const std::vector<Entry>& entries) {
    std::string s;
    for (std::uint32_t v : {0u, 2u, static_cast<std::uint32_t>(entries.size())}) put(s, 2, v);
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        for (std::uint32_t v : {(e.width & 0xFF) | (e.height & 0xFF) << 8, e.hotX | e.hotY << 16,  // 256 as 0
                                std::uint32_t(e.data.size()), offset})
            put(s, 4, v);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Entry& e : entries) s += e.data;
    return s;
}

Values geometry(const CursorImage& i) { return {i.width, i.height, i.hotX, i.hotY}; }

CursorImage parseOk(const std::string& bytes) {
    CursorImage image;
    std::string error;
    EXPECT_TRUE(CursorFile::parse(bytes, image, error)) << error;
    return image;
}

TEST(CursorFile, EveryPixelFormatWithItsTransparencyRule) {
    Values sixteen, stripes, stripesRead, ramp, rampRead;
    for (std::uint32_t i = 0; i < 16; ++i) sixteen.push_back(i * 0x111111);
    for (std::uint32_t i = 0; i < 20; ++i) {  // 1 bit, 10 wide: rows cross a byte
        stripes.push_back((i % 10 + i / 10) % 3 == 0);
        stripesRead.push_back(i == 9 || i == 19 ? 0 : stripes.back() ? 0xFFFFFFFF : 0xFF000000);
    }
    for (std::uint32_t i = 0; i < 15; ++i) {  // 24 bits, 5 wide: 15-byte rows padded to 16, mask rows to 4
        ramp.push_back(0x010203 * (i + 1));
        rampRead.push_back(i % 7 == 0 ? 0 : 0xFF000000 | ramp.back());
    }
    const Values alpha = {0xFF102030, 0x80405060, 0x00708090, 0x40A0B0C0, 0xFFFFFFFF, 0x01000000};
    const Values noAlpha = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xFFFFFF, 0},
                 noAlphaRead = {0xFF102030, 0, 0xFF708090, 0xFFA0B0C0, 0xFFFFFFFF, 0},
                 shortRead = {0xFF112233, 0xFF445566, 0xFF778899, 0xFF000000, 0, 0xFF112233};
    enum { kMask, kNoMask, kUncountedPalette };
    const struct {
        std::uint32_t w, h, bits, hotX, hotY;
        Values palette, values, transparent, rgba;
        int form = kMask;
    } cases[] = {
        // 32 bits with an alpha channel: the mask (here all set) is ignored, and may be left out.
        {3, 2, 32, 1, 0, {}, alpha, {0, 1, 2, 3, 4, 5}, alpha},
        {3, 2, 32, 0, 0, {}, alpha, {}, alpha, kNoMask},
        {3, 2, 32, 2, 1, {}, noAlpha, {1, 5}, noAlphaRead},  // an alpha channel of zeros: the mask says
        {5, 3, 24, 4, 2, {}, ramp, {0, 7, 14}, rampRead},
        // A palette shorter than 256: an index past it (here the first) reads as opaque black.
        {3, 2, 8, 0, 0, {0x112233, 0x445566, 0x778899}, {0, 1, 2, 3, 1, 0}, {4}, shortRead},
        // 4 bits: two pixels a byte, the first in the high half.
        {5, 1, 4, 0, 0, sixteen, {15, 12, 9, 6, 3}, {}, {0xFFFFFFFF, 0xFFCCCCCC, 0xFF999999, 0xFF666666, 0xFF333333}},
        // 1 bit: black and white whether or not the header counts its colours.
        {10, 2, 1, 9, 1, {0, 0xFFFFFF}, stripes, {9, 19}, stripesRead},
        {10, 2, 1, 9, 1, {0, 0xFFFFFF}, stripes, {9, 19}, stripesRead, kUncountedPalette},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.bits << " bits, " << c.w << " x " << c.h << ", form " << c.form);
        std::string data = bitmap(c.w, c.h, c.bits, c.palette, c.values, c.transparent, c.form != kNoMask);
        if (c.form == kUncountedPalette) put(data, 4, 0, 32);
        const CursorImage image = parseOk(cursorFile({{c.w, c.h, c.hotX, c.hotY, data}}));
        EXPECT_EQ(geometry(image), (Values{c.w, c.h, c.hotX, c.hotY}));
        EXPECT_EQ(image.rgba, c.rgba);
    }
}

TEST(CursorFile, TheLargestImageIsTakenWithItsOwnHotspot) {
    const auto white = [](std::uint32_t n) { return bitmap(n, n, 1, {0, 0xFFFFFF}, Values(n * n, 1), {0}); };
    // Of two of one size the first is taken. A size byte of 0 in the directory
    // stands for 256, the largest there is; the hotspot may be its last pixel.
    const Entry small{2, 2, 1, 1, white(2)}, medium{3, 3, 2, 0, white(3)};
    EXPECT_EQ(geometry(parseOk(cursorFile({small, medium, small}))), (Values{3, 3, 2, 0}));
    EXPECT_EQ(geometry(parseOk(cursorFile({{3, 3, 0, 2, medium.data}, medium}))), (Values{3, 3, 0, 2}));
    const CursorImage image = parseOk(cursorFile({{256, 256, 255, 255, white(256)}, {17, 17, 0, 0, white(17)}}));
    EXPECT_EQ(geometry(image), (Values{256, 256, 255, 255}));
    EXPECT_TRUE(image.rgba.size() == 65536 && image.rgba[0] == 0 && image.rgba[65535] == 0xFFFFFFFF);
}

// A valid 2 x 2 cursor of 24 bits.
std::string validCursor() { return cursorFile({{2, 2, 1, 1, bitmap(2, 2, 24, {}, Values(4, 0xABCDEF), {})}}); }

TEST(CursorFile, DamagedFilesFailWithAMessage) {
    const std::string valid = validCursor();
    ASSERT_TRUE(valid.size() == 86 && parseOk(valid).width == 2);
    const std::size_t I = 22, none = std::string::npos;  // I: where the image starts
    using Patch = std::array<std::uint32_t, 3>;          // where, how many bytes, the value
    const std::tuple<std::vector<Patch>, std::size_t, const char*> cases[] = {
        // patches, bytes kept, message
        {{}, 5, "file of 5 bytes is too short for a cursor header"},
        {{{0, 2, 1}}, none, "not a cursor file (header starts 1, 2"},
        {{{2, 2, 1}}, none, "an icon file, not a cursor file"},
        {{{4, 2, 0}}, none, "the cursor file holds no images"},
        {{{4, 2, 3000}}, none, "the directory of 3000 images runs past the end of the"},
        {{}, 85, "image 1 (offset 22, 64 bytes) lies past the end of the"},  // one byte short
        {{{14, 4, 0xFFFFFFFF}, {18, 4, 0xFFFFFFFF}}, none, "(offset 4294967295, 4294967295 bytes) lies past the end"},
        {{{I, 4, 0x474E5089}, {I + 4, 4, 0x0A1A0A0D}}, none, "image 1 is stored as PNG"},
        {{{14, 4, 39}}, none, "image 1: image data of 39 bytes is too short for a bitmap header"},
        {{{I, 4, 12}}, none, "unsupported bitmap header size 12 (expected 40 or more)"},
        {{{I, 4, 0x7FFFFFFF}}, none, "bitmap header of 2147483647 bytes runs past the end"},
        {{{I + 4, 4, 0}}, none, "bitmap width 0 is not between 1 and 256"},
        {{{I + 4, 4, 257}}, none, "bitmap width 257 is not"},
        {{{I + 4, 4, 0xFFFFFFFE}}, none, "width -2 is not"},
        {{{I + 8, 4, 1}}, none, "bitmap height 1 is not between 2 and 512"},
        {{{I + 8, 4, 514}}, none, "bitmap height 514 is not"},
        {{{I + 8, 4, 0xFFFFFFFC}}, none, "bitmap height -4 is not"},  // top-down rows
        {{{I + 14, 2, 16}}, none, "unsupported bit count 16 (expected 1, 4, 8, 24 or 32)"},
        {{{I + 16, 4, 1}}, none, "compressed bitmaps are not supported (compression 1)"},
        {{{I + 14, 2, 8}, {I + 32, 4, 257}}, none, "palette of 257 colours is larger than 8-bit pixels can index"},
        {{{I + 14, 2, 8}}, none, "palette of 256 colours runs past the end of the image data"},
        {{{I + 32, 4, 0xFFFFFFFF}}, none, "palette of 4294967295 colours runs past the end"},
        {{{14, 4, 48}}, I + 48, "pixel rows need 16 bytes but only 8 follow the header and palette"},
        {{{14, 4, 60}}, I + 60, "transparency mask needs 8 bytes but only 4 follow the pixel rows"},
        {{{10, 2, 2}}, none, "image 1: hotspot (2, 1) lies outside the 2 x 2 image"},
        {{{12, 2, 0xFFFF}}, none, "hotspot (1, 65535) lies outside"},
    };
    for (const auto& [patches, keep, message] : cases) {
        std::string bytes = valid;
        for (const auto& [at, size, value] : patches) put(bytes, size, value, at);
        if (keep != none) bytes.resize(keep);
        CursorImage image;
        image.width = 7;
        image.rgba.assign(3, 1);
        std::string error;
        const bool ok = CursorFile::parse(bytes, image, error);
        EXPECT_TRUE(!ok && error.find(message) != std::string::npos && image.width == 0 && image.rgba.empty())
            << message << ": " << error;
    }
}

TEST(CursorFile, LoadsFilesAndNamesTheFileInMessages) {
    krovane::test::TempDir dir;
    std::string icon = validCursor();
    put(icon, 2, 1, 2);
    std::ofstream("arrow.cur", std::ios::binary) << validCursor();
    std::ofstream("icon.cur", std::ios::binary) << icon;
    std::ofstream("big.cur", std::ios::binary) << std::string(CursorFile::kMaxFileBytes + 1, '\0');
    CursorImage image;
    std::string error;
    ASSERT_TRUE(CursorFile::load("arrow.cur", image, error)) << error;
    EXPECT_EQ(image.rgba, Values(4, 0xFFABCDEF));
    for (const auto& [file, message] :
         {std::pair{"icon.cur", "cursor file icon.cur: an icon file, not a cursor file (it has no hotspot)"},
          {"missing.cur", "cannot open cursor file missing.cur"},
          {".", "cannot read cursor file ."},
          {"big.cur", "cursor file big.cur is larger than 4 MiB, too large for a cursor"}}) {
        EXPECT_FALSE(CursorFile::load(file, image, error));
        EXPECT_TRUE(error == message && image.rgba.empty()) << error;
    }
}

}  // namespace
