// writePng: saves a picture read back from the device (0xAARRGGBB pixels, top
// row first) as an 8-bit RGB PNG file, for the viewer's picture key and the
// tools; with `alpha`, as RGBA with the pixels' own alpha (thumbnails).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

namespace krovane::gfx {

// False when the file cannot be written or the picture is empty or smaller
// than width x height.
bool writePng(const std::filesystem::path& file, const std::vector<std::uint32_t>& argb, std::uint32_t width,
              std::uint32_t height, bool alpha = false);

// Writes the picture as `stem`.png or, while a file of that name is there,
// `stem`_2.png, `stem`_3.png...: never over a file (see
// platform::writeToFreeName). The path written, or empty when nothing was.
std::filesystem::path writePngToFreeName(const std::filesystem::path& stem, const std::vector<std::uint32_t>& argb,
                                         std::uint32_t width, std::uint32_t height, bool alpha = false);

}  // namespace krovane::gfx
