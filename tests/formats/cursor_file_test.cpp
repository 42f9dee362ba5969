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

void put16(std::string& s, std::uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
void put32(std::string& s, std::uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}
void patch16(std::string& s, std::size_t at, std::uint32_t v) {
    s[at] = static_cast<char>(v & 0xFF);
    s[at + 1] = static_cast<char>((v >> 8) & 0xFF);
}
void patch32(std::string& s, std::size_t at, std::uint32_t v) {
    patch16(s, at, v & 0xFFFF);
    patch16(s, at + 2, v >> 16);
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
    put32(s, 40);
    put32(s, w);
    put32(s, 2 * h);
    put16(s, 1);  // planes
    put16(s, bits);
    put32(s, 0);  // no compression
    put32(s, static_cast<std::uint32_t>(colourRows.size() + maskRows.size()));
    put32(s, 0);
    put32(s, 0);
    put32(s, static_cast<std::uint32_t>(palette.size()));
    put32(s, 0);
    for (std::uint32_t c : palette) put32(s, c);
    return s + colourRows + maskRows;
}

struct Entry {
    std::uint32_t width, height, hotX, hotY;
    std::string data;
};

// A cursor file holding the images in order.
std::string cursorFile(const std::vector<Entry>& entries) {
    std::string s;
    put16(s, 0);
    put16(s, 2);
    put16(s, static_cast<std::uint32_t>(entries.size()));
    std::uint32_t offset = static_cast<std::uint32_t>(6 + 16 * entries.size());
    for (const Entry& e : entries) {
        s += static_cast<char>(e.width & 0xFF);  // 256 is written as 0
        s += static_cast<char>(e.height & 0xFF);
        s += '\0';  // colour count
        s += '\0';
        put16(s, e.hotX);
        put16(s, e.hotY);
        put32(s, static_cast<std::uint32_t>(e.data.size()));
        put32(s, offset);
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
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.height, 2u);
    EXPECT_EQ(image.hotX, 1u);
    EXPECT_EQ(image.hotY, 0u);
    EXPECT_EQ(image.rgba, withAlpha);
    // With the alpha channel in use the mask may be left out.
    image = parseOk(cursorFile({{3, 2, 0, 0, bitmap(3, 2, 32, {}, packRows(3, 2, 32, pick(withAlpha)), "")}}));
    EXPECT_EQ(image.rgba, withAlpha);

    // An alpha channel of zeros: pixels are opaque except where the mask is set.
    const std::vector<std::uint32_t> noAlpha = {0x102030, 0x405060, 0x708090, 0xA0B0C0, 0xFFFFFF, 0};
    image = parseOk(
        cursorFile({{3, 2, 2, 1, bitmap(3, 2, 32, {}, packRows(3, 2, 32, pick(noAlpha)), mask(3, 2, {1, 5}))}}));
    EXPECT_EQ(image.rgba, (std::vector<std::uint32_t>{0xFF102030, 0, 0xFF708090, 0xFFA0B0C0, 0xFFFFFFFF, 0}));
    EXPECT_EQ(image.hotX, 2u);
    EXPECT_EQ(image.hotY, 1u);
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
    EXPECT_EQ(image.hotX, 4u);
    EXPECT_EQ(image.hotY, 2u);
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
    patch32(uncounted, 32, 0);
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
    EXPECT_EQ(image.width, 3u);
    EXPECT_EQ(image.hotX, 2u);
    EXPECT_EQ(image.hotY, 0u);
    // Of two images of one size the first is taken.
    const Entry mediumOther{3, 3, 0, 2, medium.data};
    image = parseOk(cursorFile({mediumOther, medium}));
    EXPECT_EQ(image.hotX, 0u);
    EXPECT_EQ(image.hotY, 2u);
    // A size byte of 0 in the directory stands for 256, the largest there is;
    // the hotspot may be its last pixel.
    const Entry huge{256, 256, 255, 255, bitmap(256, 256, 1, bw, packRows(256, 256, 1, white), mask(256, 256, {0}))};
    image = parseOk(cursorFile({medium, huge}));
    EXPECT_EQ(image.width, 256u);
    EXPECT_EQ(image.height, 256u);
    EXPECT_EQ(image.hotX, 255u);
    EXPECT_EQ(image.hotY, 255u);
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
    struct Case {
        const char* what;
        std::function<void(std::string&)> damage;
        const char* message;
    };
    const std::vector<Case> cases = {
        {"empty", [](std::string& s) { s.clear(); }, "file of 0 bytes is too short for a cursor header"},
        {"header cut", [](std::string& s) { s.resize(5); }, "file of 5 bytes is too short for a cursor header"},
        {"reserved field", [](std::string& s) { patch16(s, 0, 1); }, "not a cursor file (header starts 1, 2"},
        {"bitmap file", [](std::string& s) { s = "BM" + s; }, "not a cursor file"},
        {"icon", [](std::string& s) { patch16(s, 2, 1); }, "an icon file, not a cursor file"},
        {"no images", [](std::string& s) { patch16(s, 4, 0); }, "the cursor file holds no images"},
        {"directory cut", [](std::string& s) { patch16(s, 4, 3000); },
         "the directory of 3000 images runs past the end of the"},
        {"offset past the end", [](std::string& s) { patch32(s, 18, 100000); }, "image 1 (offset 100000, "},
        {"size past the end", [](std::string& s) { patch32(s, 14, static_cast<std::uint32_t>(s.size())); },
         "lies past the end of the"},
        {"offset and size overflowing",
         [](std::string& s) {
             patch32(s, 14, 0xFFFFFFFF);
             patch32(s, 18, 0xFFFFFFFF);
         },
         "(offset 4294967295, 4294967295 bytes) lies past the end"},
        {"file cut in the image", [](std::string& s) { s.resize(s.size() - 1); }, "lies past the end"},
        {"PNG image", [](std::string& s) { s.replace(kImage, 8, "\x89PNG\r\n\x1a\n", 8); }, "image 1 is stored as PNG"},
        {"image too short for a header", [](std::string& s) { patch32(s, 14, 39); },
         "image 1: image data of 39 bytes is too short for a bitmap header"},
        {"core bitmap header", [](std::string& s) { patch32(s, kImage, 12); },
         "unsupported bitmap header size 12 (expected 40 or more)"},
        {"header past the image", [](std::string& s) { patch32(s, kImage, 0x7FFFFFFF); },
         "bitmap header of 2147483647 bytes runs past the end"},
        {"width 0", [](std::string& s) { patch32(s, kImage + 4, 0); }, "bitmap width 0 is not between 1 and 256"},
        {"width 257", [](std::string& s) { patch32(s, kImage + 4, 257); }, "bitmap width 257 is not between"},
        {"negative width", [](std::string& s) { patch32(s, kImage + 4, 0xFFFFFFFE); }, "bitmap width -2 is not"},
        {"height 0", [](std::string& s) { patch32(s, kImage + 8, 0); }, "bitmap height 0 is not between 2 and 512"},
        {"height 1", [](std::string& s) { patch32(s, kImage + 8, 1); }, "bitmap height 1 is not"},
        {"height 514", [](std::string& s) { patch32(s, kImage + 8, 514); }, "bitmap height 514 is not"},
        {"top-down rows", [](std::string& s) { patch32(s, kImage + 8, 0xFFFFFFFC); }, "bitmap height -4 is not"},
        {"16 bits", [](std::string& s) { patch16(s, kImage + 14, 16); },
         "unsupported bit count 16 (expected 1, 4, 8, 24 or 32)"},
        {"0 bits", [](std::string& s) { patch16(s, kImage + 14, 0); }, "unsupported bit count 0"},
        {"compressed", [](std::string& s) { patch32(s, kImage + 16, 1); },
         "compressed bitmaps are not supported (compression 1)"},
        {"palette larger than the bits index",
         [](std::string& s) {
             patch16(s, kImage + 14, 8);
             patch32(s, kImage + 32, 257);
         },
         "palette of 257 colours is larger than 8-bit pixels can index"},
        {"palette past the end", [](std::string& s) { patch16(s, kImage + 14, 8); },
         "palette of 256 colours runs past the end of the image data"},
        {"huge palette beside 24 bits", [](std::string& s) { patch32(s, kImage + 32, 0xFFFFFFFF); },
         "palette of 4294967295 colours runs past the end"},
        {"pixel rows cut",
         [](std::string& s) {
             patch32(s, 14, 40 + 8);
             s.resize(kImage + 40 + 8);
         },
         "pixel rows need 16 bytes but only 8 follow the header and palette"},
        {"mask cut",
         [](std::string& s) {
             patch32(s, 14, 40 + 16 + 4);
             s.resize(kImage + 40 + 16 + 4);
         },
         "transparency mask needs 8 bytes but only 4 follow the pixel rows"},
        {"larger image than its rows",
         [](std::string& s) {
             patch32(s, kImage + 4, 256);
             patch32(s, kImage + 8, 512);
         },
         "pixel rows need 196608 bytes but only 24"},
        {"hotspot outside", [](std::string& s) { patch16(s, 10, 2); },
         "image 1: hotspot (2, 1) lies outside the 2 x 2 image"},
        {"hotspot far outside", [](std::string& s) { patch16(s, 12, 0xFFFF); }, "hotspot (1, 65535) lies outside"},
    };
    for (const Case& c : cases) {
        std::string bytes = validCursor();
        c.damage(bytes);
        CursorImage image;
        image.width = 7;
        image.rgba.assign(3, 1);
        std::string error;
        EXPECT_FALSE(CursorFile::parse(bytes, image, error)) << c.what;
        EXPECT_NE(error.find(c.message), std::string::npos) << c.what << ": " << error;
        EXPECT_EQ(image.width, 0u) << c.what;
        EXPECT_TRUE(image.rgba.empty()) << c.what;
    }
}

TEST(CursorFile, LoadsFilesAndNamesTheFileInMessages) {
    krovane::test::TempDir dir;
    std::ofstream("arrow.cur", std::ios::binary) << validCursor();
    std::string damaged = validCursor();
    patch16(damaged, 2, 1);
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
