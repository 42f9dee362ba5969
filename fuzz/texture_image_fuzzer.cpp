// Picture files for textures, every form (DDS with its mip chain too) in one target: any bytes decode to
// an image whose size and pixels agree, or fail with a reason and no pixels.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "formats/image_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    constexpr std::uint32_t kMaxSide = 1024;  // smaller than the engine's, so that runs stay fast
    krovane::formats::ImageFile image;
    std::string error;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!krovane::formats::ImageFile::decode(bytes, kMaxSide, image, error)) {
        if (error.empty() || !image.pixels.empty()) std::abort();
        return 0;
    }
    if (image.width < 1 || image.width > kMaxSide || image.height < 1 || image.height > kMaxSide) std::abort();
    if (image.pixels.size() != krovane::formats::mipChainPixels(image.width, image.height, image.levels)) std::abort();
    return 0;
}
