// ImageFile: decodes the picture files textures are made from, without a
// device: BMP, PNG, JPEG, TGA and DDS, and nothing else.
//
// The form is chosen from the file's first bytes before any decoder sees
// them: "BM", the PNG signature, the JPEG start-of-image marker, "DDS ", and
// for TGA, which has no signature, a header whose every field is plausible.
// PNG goes to libpng and JPEG to libjpeg-turbo (both fuzzed upstream); BMP,
// TGA and DDS are decoded here. A declared side over `maxSide` is refused
// before any pixels are allocated, and a file too short for what its header
// declares is refused as cut short, so a small hostile file cannot make the
// decoder allocate much.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace krovane::formats {

struct ImageFile {
    std::uint32_t width = 0, height = 0;
    std::uint32_t levels = 0;           // 0: one image, the mipmaps are to be made; more: levels the file carries
    std::vector<std::uint32_t> pixels;  // 0xAARRGGBB, top row first, every level one after the other

    // On failure `error` says why and `out` is left empty.
    static bool decode(std::string_view bytes, std::uint32_t maxSide, ImageFile& out, std::string& error);
};

// Pixels in a chain of `levels` images, each half the one before (at least
// 1 x 1); 0 levels counts as one.
std::uint64_t mipChainPixels(std::uint32_t width, std::uint32_t height, std::uint32_t levels);

}  // namespace krovane::formats
