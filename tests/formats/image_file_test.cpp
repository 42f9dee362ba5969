// Every pixel form the picture decoders take, each file built here from a small known picture and decoded back
// to it (BMP at every depth, with bit fields, top-down and the core header; TGA at every depth, run-length coded or
// not, from either origin; each DDS form); pictures of every form that are damaged or hostile; and cursor files.
#include <gtest/gtest.h>
#include <stb_image_write.h>  // the PNG and JPEG pictures the hostile ones are made from
#include <zlib.h>             // the checksums of damaged PNG chunks

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

#include "../temp_dir.h"
#include "formats/cursor_file.h"
#include "formats/dds_image.h"
#include "formats/image_file.h"

namespace {

using krovane::formats::DdsImage;
using krovane::formats::ImageFile;
using Pixels = std::vector<std::uint32_t>;

// 3 x 2 pictures, top row first; rows of odd length, so that BMP rows need padding. Channels are 0, 255 or what
// five bits hold (0x84 is 16/31, 0x21 is 4/31), so that the 15- and 16-bit forms keep them; 0x21
// also comes back from 10 bits only when rounded.
const Pixels kColours = {0xFFFF0000, 0xFF00FF00, 0xFF00FF00, 0xFF0000FF, 0xFF84FF21, 0xFFFFFFFF};
const Pixels kAlpha = {0x80FF0000, 0xFF00FF00, 0xFF00FF00, 0xFF0000FF, 0xFF84FF21, 0x00FFFFFF};
const Pixels kTwo = {0xFFFF0000, 0xFF0000FF, 0xFF0000FF, 0xFF0000FF, 0xFFFF0000, 0xFFFF0000};
const Pixels kGrey = {0xFF000000, 0xFF404040, 0xFF404040, 0xFFC0C0C0, 0xFFFFFFFF, 0xFF202020};
// What a DXT block's colour indices pick: from the end points red and blue, the two thirds between them; from
// blue and red (swapped: the three-colour mode), their middle and transparent black.
const Pixels kFourColours = {0xFFFF0000, 0xFF0000FF, 0xFFAA0055, 0xFF5500AA};
const Pixels kThreeColours = {0xFF0000FF, 0xFFFF0000, 0xFF7F007F, 0x00000000};
constexpr std::uint32_t kWidth = 3, kHeight = 2;

struct Bytes {
    std::string s;
    Bytes& u8(std::uint64_t v) { return s.push_back(static_cast<char>(v)), *this; }
    Bytes& u16(std::uint64_t v) { return u8(v).u8(v >> 8); }
    Bytes& u32(std::uint64_t v) { return u16(v).u16(v >> 16); }
};

// A pixel packed by channel masks (red, green, blue, alpha), each channel rounded to its width.
std::uint32_t packed(std::uint32_t pixel, const std::vector<std::uint32_t>& masks) {
    std::uint32_t v = 0;
    for (int c = 0; c < 4; ++c) {
        const std::uint32_t m = masks[c], shift = m ? std::countr_zero(m) : 0, max = m >> shift;
        v |= ((pixel >> (c == 3 ? 24 : 16 - 8 * c) & 0xFF) * max + 127) / 255 << shift;
    }
    return v;
}

// A BMP file at `bits` per pixel. Palettes hold the picture's colours in order; `masks` (red, green, blue,
// alpha) are written as bit fields after a 40-byte header (`header` 40) or inside a V5 header (124); `header`
// 12 is the old core header. A negative `height` stores the rows top-down.
std::string bmp(const Pixels& p, int bits, std::vector<std::uint32_t> masks = {}, std::uint32_t header = 40,
                int height = kHeight) {
    Pixels palette;
    for (std::uint32_t c : p)
        if (bits <= 8 && std::find(palette.begin(), palette.end(), c) == palette.end()) palette.push_back(c);
    if (header == 12) palette.resize(std::size_t{1} << bits);  // which has no count: all entries are there
    const std::size_t entry = header == 12 ? 3 : 4, fields = header == 40 ? masks.size() * 4 : 0;
    const std::size_t dataAt = 14 + header + fields + palette.size() * entry;
    Bytes b{"BM"};
    b.u32(0).u32(0).u32(dataAt).u32(header);
    if (header == 12) {
        b.u16(kWidth).u16(height).u16(1).u16(bits);
    } else {
        b.u32(kWidth).u32(height).u16(1).u16(bits).u32(masks.empty() ? 0 : 3).u32(0).u32(0).u32(0);
        b.u32(palette.size()).u32(0);
        for (std::uint32_t m : masks) b.u32(m);
        b.s.resize(14 + header + fields);
    }
    for (std::uint32_t c : palette) (entry == 3 ? b.u8(c).u16(c >> 8) : b.u32(c & 0xFFFFFF));
    if (masks.empty())
        masks = bits == 16 ? std::vector<std::uint32_t>{0x7C00, 0x3E0, 0x1F}
                           : std::vector<std::uint32_t>{0xFF0000, 0xFF00, 0xFF, 0xFF000000};
    masks.resize(4);
    for (std::uint32_t row = 0; row < kHeight; ++row) {
        const std::size_t start = b.s.size();
        const std::uint32_t y = height < 0 ? row : kHeight - 1 - row;
        std::uint32_t bitsUsed = 0, byte = 0;
        for (std::uint32_t x = 0; x < kWidth; ++x) {
            const std::uint32_t c = p[y * kWidth + x];
            if (bits <= 8) {
                const auto index =
                    static_cast<std::uint32_t>(std::find(palette.begin(), palette.end(), c) - palette.begin());
                byte |= index << (8 - bits - bitsUsed % 8);
                if ((bitsUsed += bits) % 8 == 0) b.u8(byte), byte = 0;
            } else if (bits == 24) {
                b.u8(c).u16(c >> 8);
            } else {
                bits == 16 ? b.u16(packed(c, masks)) : b.u32(packed(c, masks));
            }
        }
        if (bitsUsed % 8 != 0) b.u8(byte);
        b.s.resize(start + (kWidth * bits + 31) / 32 * 4);
    }
    return b.s;
}

// A TGA file: `type` 1 (colour-mapped, 24-bit map), 2 (true colour at `bits`) or 3 (grey), plus 8 when run-length
// coded; rows bottom-up unless `topLeft`. It carries an image id, which the decoder steps over.
std::string tga(const Pixels& p, int type, int bits, bool topLeft) {
    const bool mapped = (type & 7) == 1;
    Pixels map;
    for (std::uint32_t c : p)
        if (mapped && std::find(map.begin(), map.end(), c) == map.end()) map.push_back(c);
    Bytes b;
    b.u8(2).u8(mapped).u8(type).u16(0).u16(map.size()).u8(mapped ? 24 : 0).u16(0).u16(0).u16(kWidth).u16(kHeight);
    b.u8(bits).u8((bits == 32 ? 8 : bits == 16 ? 1 : 0) | (topLeft ? 0x20 : 0)).u16(0x4449);
    for (std::uint32_t c : map) b.u8(c).u16(c >> 8);
    const auto pixel = [&](std::uint32_t c) {
        Bytes v;
        if (mapped) return v.u8(std::find(map.begin(), map.end(), c) - map.begin()).s;
        if (bits == 8) return v.u8(c).s;
        if (bits == 24) return v.u8(c).u16(c >> 8).s;
        if (bits == 32) return v.u32(c).s;
        return v.u16(packed(c, {0x7C00, 0x3E0, 0x1F, 0}) | (bits == 16 ? 0x8000 : 0)).s;  // the attribute bit set
    };
    Pixels order;
    for (std::uint32_t row = 0; row < kHeight; ++row)
        for (std::uint32_t x = 0; x < kWidth; ++x) order.push_back(p[(topLeft ? row : kHeight - 1 - row) * kWidth + x]);
    // Run-length coded: a repeat packet for each run of equal pixels, a raw packet for the others.
    for (std::size_t i = 0; i < order.size();) {
        std::size_t n = 1;
        while (i + n < order.size() && order[i + n] == order[i]) ++n;
        if (type < 8) n = order.size() - i;
        if (type >= 8) b.u8(n > 1 ? 0x80 | (n - 1) : 0);
        for (std::size_t k = 0; k < (type >= 8 && n > 1 ? 1 : n); ++k) b.s += pixel(order[i + k]);
        i += n;
    }
    return b.s;
}

// A DDS header of `levels` levels: `form` a four-character code, or none for 32-bit pixels by `masks` (red, green,
// blue, alpha; no alpha mask: no alpha).
std::string ddsHeader(std::uint32_t width, std::uint32_t height, std::uint32_t levels, const std::string& form,
                      const std::vector<std::uint32_t>& masks = {0, 0, 0, 0}) {
    Bytes b{"DDS "};
    b.u32(124).u32(0x1007 | (levels > 1 ? 0x20000 : 0)).u32(height).u32(width).u32(0).u32(0).u32(levels);
    b.s.resize(76);
    b.u32(32).u32(!form.empty() ? 4 : 0x40 | (masks[3] ? 1 : 0)).s += form.empty() ? std::string(4, '\0') : form;
    b.u32(form.empty() ? 32 : 0);
    for (std::uint32_t m : masks) b.u32(m);
    b.s.resize(128);
    return b.s;
}

// The picture as a DDS file: 32-bit pixels by `masks`, or one block of `form` with red and blue end points (blue
// first: `swapped`), and for DXT3 and DXT5 the pixels' alphas.
std::string dds(const std::string& form, const Pixels& p, std::vector<std::uint32_t> masks = {0, 0, 0, 0},
                bool swapped = false) {
    Bytes b{ddsHeader(kWidth, kHeight, 1, form, masks)};
    const Pixels& colours = swapped ? kThreeColours : kFourColours;
    const std::uint32_t levels[] = {255, 0, 218, 182, 145, 109, 72, 36};  // DXT5's from the end points 255 and 0
    std::uint32_t indices = 0;
    std::uint64_t alpha = 0;
    const auto indexOf = [](const auto& list, std::uint32_t v, std::uint32_t mask) -> std::uint64_t {
        return std::find_if(std::begin(list), std::end(list), [&](std::uint32_t e) { return (e & mask) == v; }) -
               std::begin(list);
    };
    for (std::uint32_t i = 0; i < kWidth * kHeight; ++i) {
        const std::uint32_t at = i / kWidth * 4 + i % kWidth;  // in the 4 x 4 block
        if (form.empty()) b.u32(packed(p[i], masks));
        indices |= std::uint32_t(indexOf(colours, p[i] & 0xFFFFFF, 0xFFFFFF)) << 2 * at;
        alpha |= form == "DXT3" ? std::uint64_t{p[i] >> 28} << 4 * at : indexOf(levels, p[i] >> 24, 0xFF) << 3 * at;
    }
    if (form.empty()) return b.s;
    if (form == "DXT3") b.u32(alpha).u32(alpha >> 32);
    if (form == "DXT5") b.u16(0x00FF).u32(alpha).u16(alpha >> 32);
    return b.u32(swapped ? 0xF800001F : 0x001FF800).u32(indices).s;
}

TEST(ImageFile, EveryPixelFormDecodesToItsPicture) {
    const std::vector<std::uint32_t> abgr = {0xFF, 0xFF00, 0xFF0000, 0xFF000000};
    struct Case {
        std::string name, file;
        Pixels picture;
    };
    std::vector<Case> cases = {
        {"BMP 1-bit", bmp(kTwo, 1), kTwo},
        {"BMP 4-bit", bmp(kColours, 4), kColours},
        {"BMP 8-bit", bmp(kColours, 8), kColours},
        {"BMP 8-bit, core header", bmp(kColours, 8, {}, 12), kColours},
        {"BMP 16-bit", bmp(kColours, 16), kColours},
        {"BMP 16-bit, 5:6:5 bit fields", bmp(kColours, 16, {0xF800, 0x7E0, 0x1F}), kColours},
        {"BMP 24-bit", bmp(kColours, 24), kColours},
        {"BMP 24-bit, top-down", bmp(kColours, 24, {}, 40, -2), kColours},
        {"BMP 32-bit", bmp(kAlpha, 32), kAlpha},
        {"BMP 32-bit, bit fields without alpha", bmp(kColours, 32, {0xFF, 0xFF00, 0xFF0000}), kColours},
        {"BMP 32-bit, V5 header with alpha", bmp(kAlpha, 32, abgr, 124), kAlpha},
        {"DDS 32-bit with alpha", dds("", kAlpha, {0xFF0000, 0xFF00, 0xFF, 0xFF000000}), kAlpha},
        {"DDS 32-bit without alpha", dds("", kColours, {0xFF, 0xFF00, 0xFF0000, 0}), kColours},
        {"DDS 32-bit, 10-bit channels", dds("", kColours, {0x3FF00000, 0xFFC00, 0x3FF, 0xC0000000}), kColours}};
    // DXT blocks: each colour they make, and for DXT3 alphas of four bits (0x11 apart), for DXT5 alpha levels.
    const Pixels four = {kFourColours[0], kFourColours[2], kFourColours[3], kFourColours[1], 0xFFFF0000, 0xFF0000FF};
    const Pixels three = {0, kThreeColours[0], kThreeColours[1], kThreeColours[2], 0, 0xFF0000FF};
    const std::uint32_t dxt3Alphas[] = {0x00, 0x33, 0x66, 0x99, 0xCC, 0xFF}, dxt5Alphas[] = {255, 0, 218, 36, 109, 145};
    Pixels dxt3, dxt5;
    for (std::size_t i = 0; i < four.size(); ++i) {
        dxt3.push_back((four[i] & 0xFFFFFF) | dxt3Alphas[i] << 24);
        dxt5.push_back((four[i] & 0xFFFFFF) | dxt5Alphas[i] << 24);
    }
    cases.push_back({"DDS DXT1", dds("DXT1", four), four});
    cases.push_back({"DDS DXT1 with transparency", dds("DXT1", three, {0, 0, 0, 0}, true), three});
    cases.push_back({"DDS DXT3", dds("DXT3", dxt3), dxt3});
    cases.push_back({"DDS DXT5", dds("DXT5", dxt5), dxt5});
    // TGA: each depth, raw and run-length coded, from the bottom-left and the top-left corner.
    const struct {
        const char* name;
        int type, bits;
        const Pixels& picture;
    } tgaForms[] = {{"8-bit grey", 3, 8, kGrey}, {"8-bit colour-mapped", 1, 8, kColours},
                    {"15-bit", 2, 15, kColours}, {"16-bit", 2, 16, kColours},
                    {"24-bit", 2, 24, kColours}, {"32-bit", 2, 32, kAlpha}};
    for (const auto& form : tgaForms)
        for (const int rle : {0, 8})
            for (const bool topLeft : {false, true})
                cases.push_back({std::string("TGA ") + form.name + (rle ? ", run-length coded" : "") +
                                     (topLeft ? ", top-left" : ", bottom-left"),
                                 tga(form.picture, form.type + rle, form.bits, topLeft), form.picture});

    for (const Case& c : cases) {  // decoded with the largest side at the limit
        ImageFile image;
        std::string error;
        ASSERT_TRUE(ImageFile::decode(c.file, kWidth, image, error)) << c.name << ": " << error;
        EXPECT_TRUE(image.width == kWidth && image.height == kHeight) << c.name;
        EXPECT_EQ(image.pixels, c.picture) << c.name;
    }
}

void append(void* to, void* data, int size) { static_cast<std::string*>(to)->append(static_cast<char*>(data), size); }
// Writes v as `bytes` bytes at `at`, by default little-endian at the end.
void put(std::string& s, std::size_t bytes, std::uint32_t v, std::size_t at = std::string::npos, bool big = false) {
    if (at == std::string::npos) s.resize((at = s.size()) + bytes);
    for (std::size_t k = 0; k < bytes; ++k) s[at + k] = static_cast<char>(v >> 8 * (big ? bytes - 1 - k : k));
}
// Recomputes the checksum of the PNG chunk at `at` after its data was changed.
void fixPngChunk(std::string& png, std::size_t at) {
    const std::uint32_t length = static_cast<std::uint8_t>(png[at + 3]) | static_cast<std::uint8_t>(png[at + 2]) << 8;
    const auto* chunk = reinterpret_cast<const Bytef*>(&png[at + 4]);
    put(png, 4, static_cast<std::uint32_t>(crc32(0, chunk, 4 + length)), at + 8 + length, true);
}

// Cut, oversized, damaged and no longer taken pictures of every form are refused with a reason and no pixels.
TEST(ImageFile, HostilePicturesAreRefused) {
    std::vector<unsigned char> rgba(32 * 32 * 4);
    for (std::size_t i = 0; i < rgba.size(); ++i) rgba[i] = static_cast<unsigned char>(i * 7);
    std::string png, jpg;
    stbi_write_png_to_func(append, &png, 32, 32, 4, rgba.data(), 128);
    stbi_write_jpg_to_func(append, &jpg, 32, 32, 4, rgba.data(), 90);
    const std::string fine = bmp(kColours, 24), tga(18, '\0');
    std::string hugeBmp = fine, rleBmp = fine, hugePng = png, hugeJpg = jpg, badJpg = jpg, hugeTga = tga, rleTga = tga,
                cutTga = tga;
    put(hugeBmp, 4, 100000, 18);
    put(rleBmp, 4, 1, 30);            // run-length coded
    put(hugePng, 4, 9000, 16, true);  // IHDR width
    fixPngChunk(hugePng, 8);
    const std::size_t sof = jpg.find("\xFF\xC0") + 5;  // SOF0: precision, then height and width
    hugeJpg[sof] = hugeJpg[sof + 2] = '\x7F';
    badJpg.replace(jpg.find("\xFF\xDA") + 20, 4, "\xFF\xD0\xFF\xD7");  // markers inside the coded data
    hugeTga[2] = 2, hugeTga[12] = hugeTga[14] = '\x28', hugeTga[13] = hugeTga[15] = '\x23', hugeTga[16] = 32;
    rleTga[2] = 10, rleTga[12] = rleTga[14] = 4, rleTga[16] = 32;
    rleTga += "\3abcdabcd";  // a raw packet of 4 pixels holding 2
    cutTga[2] = 2, cutTga[12] = cutTga[14] = 4, cutTga[16] = 32;
    cutTga += "abc";
    // The picture, and the start of the reason (the libraries' own reasons follow "damaged: ").
    const std::string damaged = "the image is damaged: ", tooLarge = " pixels; sides of 1 to 8192 are taken";
    const std::pair<std::string, std::string> cases[] = {
        {fine.substr(0, 60), damaged + "the BMP pixels are cut short"},
        {hugeBmp, "the image is 100000 x 2" + tooLarge},
        {rleBmp, "compressed BMP files are not taken"},
        {png.substr(0, png.size() / 2), damaged},
        {hugePng, "the image is 9000 x 32" + tooLarge},
        {jpg.substr(0, jpg.size() / 2), damaged},
        {hugeJpg, "the image is 32544 x 32544" + tooLarge},
        {badJpg, damaged},
        {cutTga, damaged + "the TGA data is cut short"},
        {hugeTga, "the image is 9000 x 9000" + tooLarge},
        {rleTga, damaged + "the TGA data is cut short"},
        {"P6\n8 8\n65535\n" + std::string(384, '\xFF'), "not an image in a known form: BMP, PNG, JPEG, TGA and DDS"}};
    for (const auto& [bytes, reason] : cases) {
        ImageFile image;
        std::string error;
        EXPECT_FALSE(ImageFile::decode(bytes, 8192, image, error)) << reason;
        EXPECT_TRUE(error.starts_with(reason) && image.pixels.empty()) << error;
    }
}

// DXT1's three-colour mode when the end points are equal; sides at the limit; and a reason for each damage.
TEST(DdsImage, EqualEndPointsTheLargestSideAndDamagedFiles) {
    const auto dxt1 = [](std::uint32_t w, std::uint32_t h, std::uint32_t levels, std::size_t bytes) {
        return ddsHeader(w, h, levels, "DXT1") + std::string(bytes, '\0');
    };
    DdsImage image;
    std::string error;
    ASSERT_TRUE(DdsImage::decode(Bytes{ddsHeader(4, 4, 1, "DXT1")}.u32(0xF800F800).u32(0xC0).s, 8192, image, error));
    EXPECT_EQ(image.pixels[3], 0u);
    EXPECT_TRUE(DdsImage::decode(dxt1(8192, 4, 1, 16384), 8192, image, error) && image.pixels.size() == 8192u * 4);
    for (const auto& [file, message] :
         {std::pair<std::string, const char*>{"DDS ", "not a DDS file or its header is cut short"},
          {dxt1(4, 4, 1, 5), "the file is cut short: its pixels are missing"},
          {dxt1(8193, 4, 1, 0), "the image is 8193 x 4 pixels; sides of 1 to 8192 are taken"},
          {dxt1(0, 4, 1, 0), "the image is 0 x 4 pixels; sides of 1 to 8192 are taken"},
          {dxt1(4, 2, 4, 200), "the file claims 4 mip levels; at most 3 fit its size"},
          {ddsHeader(4, 4, 1, "DX10") + std::string(64, '\0'),
           "the compressed form \"DX10\" is not supported (DXT1, DXT3 and DXT5 are)"},
          {dxt1(4, 4, 1, 8).replace(4, 1, "d"), "the DDS header has wrong sizes"}}) {
        EXPECT_FALSE(DdsImage::decode(file, 8192, image, error) || !image.pixels.empty());
        EXPECT_EQ(error, message);
    }
}

// Cursor files: every pixel format, the transparency rules, the choice of image and its hotspot, and a message for
// each kind of damage.
using krovane::formats::CursorFile;
using krovane::formats::CursorImage;
using Values = std::vector<std::uint32_t>;

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
