// Cursor file decoding: any bytes either decode to an image whose size,
// pixels and hotspot agree, or fail with a message and an empty image.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/cursor_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using krovane::formats::CursorFile;
    using krovane::formats::CursorImage;
    CursorImage image;
    std::string error;
    if (!CursorFile::parse(std::string_view(reinterpret_cast<const char*>(data), size), image, error)) {
        if (error.empty() || image.width != 0 || image.height != 0 || !image.rgba.empty()) std::abort();
        return 0;
    }
    if (image.width < 1 || image.width > 256 || image.height < 1 || image.height > 256) std::abort();
    if (image.rgba.size() != std::size_t{image.width} * image.height) std::abort();
    if (image.hotX >= image.width || image.hotY >= image.height) std::abort();
    return 0;
}
