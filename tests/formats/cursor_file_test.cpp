// Cursor file decoding: every pixel format, the transparency rules, the
// choice of image and its hotspot, and a message for each kind of damage.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "../temp_dir.h"
#include "formats/cursor_file.h"

namespace {

using krovane::formats::CursorFile;
using krovane::formats::CursorImage;

void put(std::string& s, std::size_t bytes, std::uint32_t v) {
    for (std::size_t k = 0; k < bytes; ++k) s += static_cast<char>(v >> (8 * k));
}
void patch(std::string& s, std::size_t at, std::size_t bytes, std::uint32_t v) {
    for (std::size_t k = 0; k < bytes; ++k) s[at + k] = static_cast<char>(v >> (8 * k));
}

// Packs pixel values given top row first into stored rows: bottom row first,
// each padded to 4 bytes. Values are palette indices for 1, 4 and 8 bits,
// 0xRRGGBB for 24 bits and 0xAARRGGBB for 32 bits.
std::string packRows(std::uint32_t w, std::uint32_t h, std::uint32_t bits,
                     const std::function<std::uint32_t(std::uint32_t, std::uint32_t)>& value) {
    const std::uint32_t stride = (w * bits + 31) / 32 * 4;
    std::string out;
    for (std::uint32_t row = h; row-- > 0;) {
        std::string line(stride, '\0');
        for (std::uint32_t x = 0; x < w; ++x) {
            const std::uint32_t v = value(x, row);
            if (bits >= 24) {
                for (std::uint32_t k = 0; k < bits / 8; ++k) line[x * bits / 8 + k] = static_cast<char>(v >> (8 * k));
            } else {
                const std::uint32_t bit = x * bits;
                const auto shift = 8 - bits - bit % 8;
                line[bit / 8] = static_cast<char>(static_cast<unsigned char>(line[bit / 8]) | v << shift);
            }
        }
        out += line;
    }
    return out;
}

// A bitmap image as a cursor stores it: header, palette (0xRRGGBB each),
// colour rows and mask rows.
std::string bitmap(std::uint32_t w, std::uint32_t h, std::uint32_t bits, const std::vector<std::uint32_t>& palette,
                   const std::string& colourRows, const std::string& maskRows) {
    std::string s;
    const std::uint32_t header[] = {40, w, 2 * h, 1 | bits << 16, 0, std::uint32_t(colourRows.size() + maskRows.size()),
                                    0, 0, std::uint32_t(palette.size()), 0};  // planes 1, no compression
    for (std::uint32_t v : header) put(s, 4, v);
    for (std::uint32_t c : palette) put(s, 4, c);
    return s + colourRows + maskRows;
}

struct Entry {
    std::uint32_t width, height, hotX, hotY;
    std::string data;
};

// A cursor file holding the images in order.
std::string cursorFile(const std::vector<Entry>& entries) {
    std::string s;
    for (std::uint32_t v : {0u, 2u, static_cast<std::uint32_t>(entries.size())}) put(s, 2, v);
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        put(s, 2, (e.width & 0xFF) | (e.height & 0xFF) << 8);  // 256 is written as 0; then no colour count
        put(s, 2, 0);
        for (std::uint32_t v : {e.hotX, e.hotY}) put(s, 2, v);
        for (std::uint32_t v : {std::uint32_t(e.data.size()), offset}) put(s, 4, v);
        offset += static_cast<std::uint32_t>(e.data.size());
    }
    for (const Entry& e : entries) s += e.data;
    return s;
}

// A mask with the bits of `transparent` pixels (given as y * w + x) set.
std::string mask(std::uint32_t w, std::uint32_t h, const std::vector<std::uint32_t>& transparent) {
    return packRows(w, h, 1, [&](std::uint32_t x, std::uint32_t y) {
        for (std::uint32_t t : transparent)
            if (t == y * w + x) return 1u;
        return 0u;
    });
}

std::vector<std::uint32_t> geometry(const CursorImage& i) { return {i.width, i.height, i.hotX, i.hotY}; }

CursorImage parseOk(const std::string& bytes) {
    CursorImage image;
    std::string error;
    EXPECT_TRUE(CursorFile::parse(bytes, image, error)) << error;
    return image;
}

TEST(CursorFile, ThirtyTwoBitImagesTakeAlphaFromTheChannelOrElseFromTheMask) {
    const std::vector<std::uint32_t> withAlpha = {0xFF102030, 0x80405060, 0x00708090,
                                                  0x40A0B0C0, 0xFFFFFFFF, 0x01000000};
    auto pick = [](const std::vector<std::uint32_t>& px) {
        return [px](std::uint32_t x, std::uint32_t y) { return px[y * 3 + x]; };
    };
    // The alpha channel is used: the mask (here all set) is ignored.
    CursorImage image = parseOk(cursorFile(
        {{3, 2, 1, 0, bitmap(3, 2, 32, {}, packRows(3, 2, 32, pick(withAlpha)), mask(3, 2, {0, 1, 2, 3, 4, 5}))}}));
    EXPECT_EQ(geometry(image), (std::vector<std::uint32_t>{3, 2, 1, 0}));
    EXPECT_EQ(image.rgba, withAlpha);
    // With the alpha channel in use the mask may be left out.
    image = parseOk(cursorFile({{3, 2, 0, 0, bitmap(3, 2, 32, {}, packRows(3, 2, 32, pick(withAlpha)), "")}}));
    EXPECT_EQ(image.rgba, withAlpha);

    // An alpha channel of zeros: pixels are opaque except where the mask is set.
    const std::vector<std::uint32_t> noAlpha = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xFFFFFF, 0};
    image = parseOk(
        cursorFile({{3, 2, 2, 1, bitmap(3, 2, 32, {}, packRows(3, 2, 32, pick(noAlpha)), mask(3, 2, {1, 5}))}}));
    EXPECT_EQ(image.rgba, (std::vector<std::uint32_t>{0xFF102030, 0, 0xFF708090, 0xFFA0B0C0, 0xFFFFFFFF, 0}));
    EXPECT_EQ(geometry(image), (std::vector<std::uint32_t>{3, 2, 2, 1}));
}

TEST(CursorFile, TwentyFourBitImagesUseTheMaskAcrossPaddedRows) {
    // 5 pixels of 3 bytes make 15-byte rows padded to 16; the mask rows are padded to 4 bytes.
    const auto colour = [](std::uint32_t x, std::uint32_t y) { return 0x010203u * (y * 5 + x + 1); };
    const CursorImage image =
        parseOk(cursorFile({{5, 3, 4, 2, bitmap(5, 3, 24, {}, packRows(5, 3, 24, colour), mask(5, 3, {0, 7, 14}))}}));
    ASSERT_EQ(image.rgba.size(), 15u);
    for (std::uint32_t i = 0; i < 15; ++i) {
        const bool transparent = i == 0 || i == 7 || i == 14;
        EXPECT_EQ(image.rgba[i], transparent ? 0u : 0xFF000000u | colour(i % 5, i / 5)) << "pixel " << i;
    }
    EXPECT_EQ(geometry(image), (std::vector<std::uint32_t>{5, 3, 4, 2}));
}

TEST(CursorFile, PaletteImagesOfEightFourAndOneBits) {
    // 8 bits, with a palette shorter than 256: an index past it reads as opaque black.
    const std::vector<std::uint32_t> palette = {0x112233, 0x445566, 0x778899};
    const std::vector<std::uint32_t> indices = {0, 1, 2, 7, 1, 0};
    CursorImage image = parseOk(
        cursorFile({{3, 2, 0, 0,
                     bitmap(3, 2, 8, palette,
                            packRows(3, 2, 8, [&](std::uint32_t x, std::uint32_t y) { return indices[y * 3 + x]; }),
                            mask(3, 2, {4}))}}));
    EXPECT_EQ(image.rgba, (std::vector<std::uint32_t>{0xFF112233, 0xFF445566, 0xFF778899, 0xFF000000, 0, 0xFF112233}));

    // 4 bits: two pixels a byte, the first in the high half.
    std::vector<std::uint32_t> sixteen;
    for (std::uint32_t i = 0; i < 16; ++i) sixteen.push_back(i * 0x111111);
    image = parseOk(cursorFile(
        {{5, 1, 0, 0,
          bitmap(5, 1, 4, sixteen, packRows(5, 1, 4, [](std::uint32_t x, std::uint32_t) { return 15 - 3 * x; }),
                 mask(5, 1, {}))}}));
    EXPECT_EQ(image.rgba, (std::vector<std::uint32_t>{0xFFFFFFFF, 0xFFCCCCCC, 0xFF999999, 0xFF666666, 0xFF333333}));

    // 1 bit, 10 pixels wide so that rows cross a byte; the palette holds
    // black and white whether or not the header counts its colours.
    const auto stripes = [](std::uint32_t x, std::uint32_t y) { return (x + y) % 3 == 0 ? 1u : 0u; };
    const std::string counted =
        bitmap(10, 2, 1, {0x000000, 0xFFFFFF}, packRows(10, 2, 1, stripes), mask(10, 2, {9, 19}));
    std::string uncounted = counted;
    patch(uncounted, 32, 4, 0);
    for (const std::string& data : {counted, uncounted}) {
        image = parseOk(cursorFile({{10, 2, 9, 1, data}}));
        ASSERT_EQ(image.rgba.size(), 20u);
        for (std::uint32_t i = 0; i < 20; ++i) {
            const std::uint32_t expected =
                i == 9 || i == 19 ? 0u : (stripes(i % 10, i / 10) ? 0xFFFFFFFFu : 0xFF000000u);
            EXPECT_EQ(image.rgba[i], expected) << "pixel " << i;
        }
    }
}

TEST(CursorFile, TheLargestImageIsTakenWithItsOwnHotspot) {
    const auto white = [](std::uint32_t, std::uint32_t) { return 1u; };
    const std::vector<std::uint32_t> bw = {0x000000, 0xFFFFFF};
    const Entry small{2, 2, 1, 1, bitmap(2, 2, 1, bw, packRows(2, 2, 1, white), mask(2, 2, {}))};
    const Entry medium{3, 3, 2, 0, bitmap(3, 3, 1, bw, packRows(3, 3, 1, white), mask(3, 3, {}))};
    CursorImage image = parseOk(cursorFile({small, medium, small}));
    EXPECT_EQ(geometry(image), (std::vector<std::uint32_t>{3, 3, 2, 0}));
    // Of two images of one size the first is taken.
    const Entry mediumOther{3, 3, 0, 2, medium.data};
    EXPECT_EQ(geometry(parseOk(cursorFile({mediumOther, medium}))), (std::vector<std::uint32_t>{3, 3, 0, 2}));
    // A size byte of 0 in the directory stands for 256, the largest there is;
    // the hotspot may be its last pixel.
    const Entry huge{256, 256, 255, 255, bitmap(256, 256, 1, bw, packRows(256, 256, 1, white), mask(256, 256, {0}))};
    image = parseOk(cursorFile({medium, huge}));
    EXPECT_EQ(geometry(image), (std::vector<std::uint32_t>{256, 256, 255, 255}));
    ASSERT_EQ(image.rgba.size(), 65536u);
    EXPECT_EQ(image.rgba[0], 0u);
    EXPECT_EQ(image.rgba[65535], 0xFFFFFFFFu);
}

// A valid 2 x 2 cursor of 24 bits; its image starts at byte 22.
std::string validCursor() {
    return cursorFile({{2, 2, 1, 1,
                        bitmap(2, 2, 24, {}, packRows(2, 2, 24, [](std::uint32_t, std::uint32_t) { return 0xABCDEFu; }),
                               mask(2, 2, {}))}});
}
constexpr std::size_t kImage = 22;

TEST(CursorFile, DamagedFilesFailWithAMessage) {
    ASSERT_EQ(parseOk(validCursor()).width, 2u);
    const std::size_t I = kImage, none = std::string::npos;
    struct Patch {
        std::size_t at, bytes;
        std::uint32_t value;
    };
    struct Case {
        std::vector<Patch> patches;
        std::size_t keep;  // bytes kept of the damaged file
        const char* message;
    };
    const Case cases[] = {
        {{}, 0, "file of 0 bytes is too short for a cursor header"},
        {{}, 5, "file of 5 bytes is too short for a cursor header"},
        {{{0, 2, 1}}, none, "not a cursor file (header starts 1, 2"},
        {{{0, 2, 'B' | 'M' << 8}}, none, "not a cursor file (header starts 19778, 2"},
        {{{2, 2, 1}}, none, "an icon file, not a cursor file"},
        {{{4, 2, 0}}, none, "the cursor file holds no images"},
        {{{4, 2, 3000}}, none, "the directory of 3000 images runs past the end of the"},
        {{{18, 4, 100000}}, none, "image 1 (offset 100000, "},
        {{{14, 4, 65}}, none, "lies past the end of the"},  // one byte more than there is
        {{{14, 4, 0xFFFFFFFF}, {18, 4, 0xFFFFFFFF}}, none, "(offset 4294967295, 4294967295 bytes) lies past the end"},
        {{}, 85, "lies past the end"},
        {{{I, 4, 0x474E5089}, {I + 4, 4, 0x0A1A0A0D}}, none, "image 1 is stored as PNG"},
        {{{14, 4, 39}}, none, "image 1: image data of 39 bytes is too short for a bitmap header"},
        {{{I, 4, 12}}, none, "unsupported bitmap header size 12 (expected 40 or more)"},
        {{{I, 4, 0x7FFFFFFF}}, none, "bitmap header of 2147483647 bytes runs past the end"},
        {{{I + 4, 4, 0}}, none, "bitmap width 0 is not between 1 and 256"},
        {{{I + 4, 4, 257}}, none, "bitmap width 257 is not between"},
        {{{I + 4, 4, 0xFFFFFFFE}}, none, "bitmap width -2 is not"},
        {{{I + 8, 4, 0}}, none, "bitmap height 0 is not between 2 and 512"},
        {{{I + 8, 4, 1}}, none, "bitmap height 1 is not"},
        {{{I + 8, 4, 514}}, none, "bitmap height 514 is not"},
        {{{I + 8, 4, 0xFFFFFFFC}}, none, "bitmap height -4 is not"},  // top-down rows
        {{{I + 14, 2, 16}}, none, "unsupported bit count 16 (expected 1, 4, 8, 24 or 32)"},
        {{{I + 14, 2, 0}}, none, "unsupported bit count 0"},
        {{{I + 16, 4, 1}}, none, "compressed bitmaps are not supported (compression 1)"},
        {{{I + 14, 2, 8}, {I + 32, 4, 257}}, none, "palette of 257 colours is larger than 8-bit pixels can index"},
        {{{I + 14, 2, 8}}, none, "palette of 256 colours runs past the end of the image data"},
        {{{I + 32, 4, 0xFFFFFFFF}}, none, "palette of 4294967295 colours runs past the end"},
        {{{14, 4, 48}}, I + 48, "pixel rows need 16 bytes but only 8 follow the header and palette"},
        {{{14, 4, 60}}, I + 60, "transparency mask needs 8 bytes but only 4 follow the pixel rows"},
        {{{I + 4, 4, 256}, {I + 8, 4, 512}}, none, "pixel rows need 196608 bytes but only 24"},
        {{{10, 2, 2}}, none, "image 1: hotspot (2, 1) lies outside the 2 x 2 image"},
        {{{12, 2, 0xFFFF}}, none, "hotspot (1, 65535) lies outside"},
    };
    for (const Case& c : cases) {
        std::string bytes = validCursor();
        ASSERT_EQ(bytes.size(), 86u);
        for (const Patch& p : c.patches) patch(bytes, p.at, p.bytes, p.value);
        if (c.keep != none) bytes.resize(c.keep);
        CursorImage image;
        image.width = 7;
        image.rgba.assign(3, 1);
        std::string error;
        EXPECT_FALSE(CursorFile::parse(bytes, image, error)) << c.message;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.message << ": " << error;
        EXPECT_TRUE(image.width == 0 && image.rgba.empty()) << c.message;
    }
}

TEST(CursorFile, LoadsFilesAndNamesTheFileInMessages) {
    krovane::test::TempDir dir;
    std::ofstream("arrow.cur", std::ios::binary) << validCursor();
    std::string damaged = validCursor();
    patch(damaged, 2, 2, 1);
    std::ofstream("icon.cur", std::ios::binary) << damaged;

    CursorImage image;
    std::string error;
    ASSERT_TRUE(CursorFile::load("arrow.cur", image, error)) << error;
    EXPECT_EQ(image.rgba, std::vector<std::uint32_t>(4, 0xFFABCDEF));
    EXPECT_FALSE(CursorFile::load("icon.cur", image, error));
    EXPECT_EQ(error, "cursor file icon.cur: an icon file, not a cursor file (it has no hotspot)");
    EXPECT_TRUE(image.rgba.empty());
    EXPECT_FALSE(CursorFile::load("missing.cur", image, error));
    EXPECT_EQ(error, "cannot open cursor file missing.cur");
    EXPECT_FALSE(CursorFile::load(".", image, error));
    EXPECT_EQ(error, "cannot read cursor file .");
    std::ofstream("big.cur", std::ios::binary) << std::string(CursorFile::kMaxFileBytes + 1, '\0');
    EXPECT_FALSE(CursorFile::load("big.cur", image, error));
    EXPECT_EQ(error, "cursor file big.cur is larger than 4 MiB, too large for a cursor");
}

}  // namespace
