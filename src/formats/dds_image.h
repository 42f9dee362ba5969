// DdsImage: decodes DirectDraw Surface files (.dds) into 0xAARRGGBB pixels
// with the mipmaps the file carries: uncompressed 32-bit images (any channel
// masks) and the block-compressed DXT1, DXT3 and DXT5 forms. Blocks are
// decoded here rather than handed to the driver, so every driver shows them
// the same.
//
// Every size, count and offset is checked against the file: a damaged or
// hostile file fails with a reason and never reads past its bytes, and a
// declared side over `maxSide` is refused before anything is allocated.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace krovane::formats {

struct DdsImage {
    std::uint32_t width = 0, height = 0;
    std::uint32_t levels = 0;           // mip levels, at least 1
    std::vector<std::uint32_t> pixels;  // every level, largest first, top row first

    // True when `bytes` starts like a DDS file.
    static bool looksLikeDds(std::string_view bytes) { return bytes.substr(0, 4) == "DDS "; }
    static bool decode(std::string_view bytes, std::uint32_t maxSide, DdsImage& out, std::string& error);
};

}  // namespace krovane::formats
