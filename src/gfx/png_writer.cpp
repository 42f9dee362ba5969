#include "gfx/png_writer.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <cstdio>
#include <string>

#include "platform/file_io.h"

namespace krovane::gfx {

namespace {

void append(void* context, void* data, int size) {
    if (size > 0) static_cast<std::string*>(context)->append(static_cast<const char*>(data), std::size_t(size));
}

// The PNG file's bytes; empty when the picture is empty or smaller than
// width x height.
std::string encodePng(const std::vector<std::uint32_t>& argb, std::uint32_t width, std::uint32_t height, bool alpha) {
    if (width == 0 || height == 0 || argb.size() < static_cast<std::size_t>(width) * height) return {};
    const std::size_t channels = alpha ? 4 : 3;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * channels);
    for (std::size_t i = 0; i < rgb.size() / channels; ++i) {
        rgb[i * channels] = static_cast<unsigned char>(argb[i] >> 16);
        rgb[i * channels + 1] = static_cast<unsigned char>(argb[i] >> 8);
        rgb[i * channels + 2] = static_cast<unsigned char>(argb[i]);
        if (alpha) rgb[i * channels + 3] = static_cast<unsigned char>(argb[i] >> 24);
    }
    std::string png;
    if (stbi_write_png_to_func(append, &png, static_cast<int>(width), static_cast<int>(height),
                               static_cast<int>(channels), rgb.data(), static_cast<int>(width * channels)) == 0)
        png.clear();
    return png;
}

}  // namespace

bool writePng(const std::filesystem::path& file, const std::vector<std::uint32_t>& argb, std::uint32_t width,
              std::uint32_t height, bool alpha) {
    const std::string png = encodePng(argb, width, height, alpha);
    if (png.empty()) return false;
    // Through a FILE opened here, so that the path is the platform's own.
    std::FILE* out = std::fopen(file.string().c_str(), "wb");
    if (out == nullptr) return false;
    const bool written = std::fwrite(png.data(), 1, png.size(), out) == png.size();
    const bool closed = std::fclose(out) == 0;
    return written && closed;
}

std::filesystem::path writePngToFreeName(const std::filesystem::path& stem, const std::vector<std::uint32_t>& argb,
                                         std::uint32_t width, std::uint32_t height, bool alpha) {
    const std::string png = encodePng(argb, width, height, alpha);
    return png.empty() ? std::filesystem::path() : platform::writeToFreeName(stem, ".png", png);
}

}  // namespace krovane::gfx
