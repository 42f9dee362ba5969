#include "formats/dds_image.h"

#include <bit>
#include <cstring>

#include "formats/pixel_channel.h"

namespace krovane::formats {

namespace {

constexpr std::size_t kHeaderBytes = 128;  // "DDS " and the 124-byte header
constexpr std::uint32_t kPixelFormatFourCc = 0x4;
constexpr std::uint32_t kPixelFormatRgb = 0x40;
constexpr std::uint32_t kPixelFormatAlpha = 0x1;
constexpr std::uint32_t kFlagMipMapCount = 0x20000;

std::uint32_t read32(std::string_view b, std::size_t at) {
    std::uint32_t v;
    std::memcpy(&v, b.data() + at, 4);
    return v;  // little-endian files on little-endian machines
}

constexpr std::uint32_t fourCc(const char (&s)[5]) {
    return std::uint32_t(std::uint8_t(s[0])) | std::uint32_t(std::uint8_t(s[1])) << 8 |
           std::uint32_t(std::uint8_t(s[2])) << 16 | std::uint32_t(std::uint8_t(s[3])) << 24;
}

// A 5:6:5 colour as 0xFFRRGGBB.
std::uint32_t expand565(std::uint16_t c) {
    const std::uint32_t r = (c >> 11) & 31, g = (c >> 5) & 63, b = c & 31;
    return 0xFF000000u | widenChannel(r, 31) << 16 | widenChannel(g, 63) << 8 | widenChannel(b, 31);
}

std::uint32_t mix(std::uint32_t a, std::uint32_t b, std::uint32_t wa, std::uint32_t wb) {
    std::uint32_t out = 0xFF000000u;
    for (int shift = 0; shift < 24; shift += 8) {
        const std::uint32_t ca = (a >> shift) & 0xFF, cb = (b >> shift) & 0xFF;
        out |= ((ca * wa + cb * wb) / (wa + wb)) << shift;
    }
    return out;
}

// The 16 colours of a colour block; `threeColour` allows DXT1's transparent mode.
void decodeColours(const unsigned char* block, bool threeColour, std::uint32_t out[16]) {
    std::uint16_t c0, c1;
    std::memcpy(&c0, block, 2);
    std::memcpy(&c1, block + 2, 2);
    std::uint32_t palette[4] = {expand565(c0), expand565(c1), 0, 0};
    if (c0 > c1 || !threeColour) {
        palette[2] = mix(palette[0], palette[1], 2, 1);
        palette[3] = mix(palette[0], palette[1], 1, 2);
    } else {
        palette[2] = mix(palette[0], palette[1], 1, 1);
        palette[3] = 0;  // transparent black
    }
    std::uint32_t indices;
    std::memcpy(&indices, block + 4, 4);
    for (int i = 0; i < 16; ++i) out[i] = palette[(indices >> (2 * i)) & 3];
}

void setAlpha(std::uint32_t& pixel, std::uint32_t alpha) { pixel = (pixel & 0x00FFFFFFu) | alpha << 24; }

// One 4 x 4 block of the given form into `out`.
void decodeBlock(std::uint32_t form, const unsigned char* block, std::uint32_t out[16]) {
    if (form == fourCc("DXT1")) {
        decodeColours(block, true, out);
        return;
    }
    decodeColours(block + 8, false, out);
    if (form == fourCc("DXT3")) {
        for (int i = 0; i < 16; ++i) setAlpha(out[i], ((block[i / 2] >> (4 * (i % 2))) & 0xF) * 17);
        return;
    }
    // DXT5: two alpha end points and 3-bit indices.
    const std::uint32_t a0 = block[0], a1 = block[1];
    std::uint32_t alpha[8] = {a0, a1};
    if (a0 > a1) {
        for (std::uint32_t i = 1; i < 7; ++i) alpha[i + 1] = ((7 - i) * a0 + i * a1) / 7;
    } else {
        for (std::uint32_t i = 1; i < 5; ++i) alpha[i + 1] = ((5 - i) * a0 + i * a1) / 5;
        alpha[6] = 0;
        alpha[7] = 255;
    }
    std::uint64_t bits = 0;
    for (int i = 0; i < 6; ++i) bits |= std::uint64_t{block[2 + i]} << (8 * i);
    for (int i = 0; i < 16; ++i) setAlpha(out[i], alpha[(bits >> (3 * i)) & 7]);
}

// The value of a masked channel scaled to 0..255, rounded (255 when the mask
// is empty and `full`).
std::uint32_t channel(std::uint32_t pixel, std::uint32_t mask, bool full) {
    if (mask == 0) return full ? 255 : 0;
    const int shift = std::countr_zero(mask);
    return widenChannel((pixel & mask) >> shift, mask >> shift);
}

bool fail(std::string& error, std::string why) {
    error = std::move(why);
    return false;
}

}  // namespace

bool DdsImage::decode(std::string_view bytes, std::uint32_t maxSide, DdsImage& out, std::string& error) {
    out = DdsImage{};
    if (bytes.size() < kHeaderBytes || !looksLikeDds(bytes))
        return fail(error, "not a DDS file or its header is cut short");
    if (read32(bytes, 4) != 124 || read32(bytes, 76) != 32) return fail(error, "the DDS header has wrong sizes");
    const std::uint32_t flags = read32(bytes, 8);
    const std::uint32_t height = read32(bytes, 12), width = read32(bytes, 16);
    std::uint32_t levels = (flags & kFlagMipMapCount) ? read32(bytes, 28) : 1;
    const std::uint32_t formatFlags = read32(bytes, 80), form = read32(bytes, 84);
    const std::uint32_t bitCount = read32(bytes, 88);
    const std::uint32_t masks[4] = {read32(bytes, 92), read32(bytes, 96), read32(bytes, 100), read32(bytes, 104)};

    if (width < 1 || height < 1 || width > maxSide || height > maxSide)
        return fail(error, "the image is " + std::to_string(width) + " x " + std::to_string(height) +
                               " pixels; sides of 1 to " + std::to_string(maxSide) + " are taken");
    std::uint32_t longest = 1;
    for (std::uint32_t side = width > height ? width : height; side > 1; side /= 2) ++longest;
    if (levels == 0) levels = 1;
    if (levels > longest)
        return fail(error, "the file claims " + std::to_string(levels) + " mip levels; at most " +
                               std::to_string(longest) + " fit its size");

    const bool compressed = (formatFlags & kPixelFormatFourCc) != 0;
    if (compressed && form != fourCc("DXT1") && form != fourCc("DXT3") && form != fourCc("DXT5")) {
        char name[5] = {};
        std::memcpy(name, &form, 4);
        for (char& c : name)
            if (c != '\0' && (c < 32 || c > 126)) c = '?';
        return fail(error,
                    std::string("the compressed form \"") + name + "\" is not supported (DXT1, DXT3 and DXT5 are)");
    }
    if (!compressed && (!(formatFlags & kPixelFormatRgb) || bitCount != 32))
        return fail(error, "only 32-bit uncompressed images and DXT1, DXT3, DXT5 are supported");

    // Check that every level's data is there before allocating anything.
    const std::size_t blockBytes = form == fourCc("DXT1") ? 8 : 16;
    std::uint64_t need = 0;
    for (std::uint32_t l = 0, w = width, h = height; l<levels; ++l, w = w> 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1)
        need += compressed ? std::uint64_t{(w + 3) / 4} * ((h + 3) / 4) * blockBytes : std::uint64_t{w} * h * 4;
    if (need > bytes.size() - kHeaderBytes) return fail(error, "the file is cut short: its pixels are missing");

    out.width = width;
    out.height = height;
    out.levels = levels;
    out.pixels.reserve(static_cast<std::size_t>(need / (compressed ? 1 : 4)) + 16);
    const unsigned char* data = reinterpret_cast<const unsigned char*>(bytes.data()) + kHeaderBytes;
    const bool hasAlpha = (formatFlags & kPixelFormatAlpha) != 0;
    for (std::uint32_t l = 0, w = width, h = height; l<levels; ++l, w = w> 1 ? w / 2 : 1, h = h > 1 ? h / 2 : 1) {
        const std::size_t base = out.pixels.size();
        out.pixels.resize(base + std::size_t{w} * h);
        std::uint32_t* level = out.pixels.data() + base;
        if (compressed) {
            for (std::uint32_t by = 0; by < (h + 3) / 4; ++by) {
                for (std::uint32_t bx = 0; bx < (w + 3) / 4; ++bx, data += blockBytes) {
                    std::uint32_t block[16];
                    decodeBlock(form, data, block);
                    for (std::uint32_t i = 0; i < 16; ++i) {
                        const std::uint32_t x = bx * 4 + i % 4, y = by * 4 + i / 4;
                        if (x < w && y < h) level[std::size_t{y} * w + x] = block[i];
                    }
                }
            }
        } else {
            for (std::size_t i = 0; i < std::size_t{w} * h; ++i, data += 4) {
                std::uint32_t p;
                std::memcpy(&p, data, 4);
                level[i] = channel(p, masks[3], !hasAlpha) << 24 | channel(p, masks[0], false) << 16 |
                           channel(p, masks[1], false) << 8 | channel(p, masks[2], false);
                if (!hasAlpha) level[i] |= 0xFF000000u;
            }
        }
    }
    return true;
}

}  // namespace krovane::formats
