// DDS decoding: any bytes decode or fail cleanly, and what decodes holds
// exactly the pixels of its mip chain.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/dds_image.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    krovane::formats::DdsImage image;
    std::string error;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!krovane::formats::DdsImage::decode(bytes, 8192, image, error)) {
        if (error.empty() || !image.pixels.empty()) std::abort();
        return 0;
    }
    std::uint64_t expected = 0;
    for (std::uint32_t l = 0, w = image.width, h = image.height; l < image.levels; ++l) {
        expected += std::uint64_t{w} * h;
        w = w > 1 ? w / 2 : 1;
        h = h > 1 ? h / 2 : 1;
    }
    if (image.pixels.size() != expected) std::abort();
    return 0;
}
