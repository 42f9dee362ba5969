#include "gfx/png_writer.h"

#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb/stb_image_write.h>

#include <cstdio>

namespace krovane::gfx {

namespace {

void writeToFile(void* context, void* data, int size) {
    auto* out = static_cast<std::FILE*>(context);
    if (size > 0) std::fwrite(data, 1, static_cast<std::size_t>(size), out);
}

}  // namespace

bool writePng(const std::filesystem::path& file, const std::vector<std::uint32_t>& argb, std::uint32_t width,
              std::uint32_t height) {
    if (width == 0 || height == 0 || argb.size() < static_cast<std::size_t>(width) * height) return false;
    std::vector<unsigned char> rgb(static_cast<std::size_t>(width) * height * 3);
    for (std::size_t i = 0; i < rgb.size() / 3; ++i) {
        rgb[i * 3] = static_cast<unsigned char>(argb[i] >> 16);
        rgb[i * 3 + 1] = static_cast<unsigned char>(argb[i] >> 8);
        rgb[i * 3 + 2] = static_cast<unsigned char>(argb[i]);
    }
    // Through a FILE opened here, so that the path is the platform's own.
    std::FILE* out = std::fopen(file.string().c_str(), "wb");
    if (out == nullptr) return false;
    const bool encoded = stbi_write_png_to_func(writeToFile, out, static_cast<int>(width), static_cast<int>(height), 3,
                                                rgb.data(), static_cast<int>(width * 3)) != 0;
    const bool written = !std::ferror(out);
    const bool closed = std::fclose(out) == 0;
    return encoded && written && closed;
}

}  // namespace krovane::gfx
