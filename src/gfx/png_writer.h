// writePng: saves a picture read back from the device (0xAARRGGBB pixels, top
// row first) as an 8-bit RGB PNG file, for the viewer's picture key and the
// tools; encodePng makes the file's bytes for a writer of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace krovane::gfx {

// The PNG file's bytes; empty when the picture is empty or smaller than
// width x height.
std::string encodePng(const std::vector<std::uint32_t>& argb, std::uint32_t width, std::uint32_t height);

// False when the file cannot be written or the picture is empty or smaller
// than width x height.
bool writePng(const std::filesystem::path& file, const std::vector<std::uint32_t>& argb, std::uint32_t width,
              std::uint32_t height);

}  // namespace krovane::gfx
