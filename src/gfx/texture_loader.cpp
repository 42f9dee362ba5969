#include "gfx/texture_loader.h"

#include <stb_image.h>  // decoding of the common image formats

#include <cstdint>
#include <vector>

#include "gfx/dds_image.h"
#include "platform/file_io.h"
#include "platform/path_resolver.h"

namespace krovane::gfx {

namespace {

// Image files past this size are refused before they are read.
constexpr std::uint64_t kMaxImageFileBytes = std::uint64_t{256} << 20;

Result fail(std::string* error, std::string why, Result result) {
    if (error) *error = std::move(why);
    return result;
}

struct StbPixels {
    unsigned char* data = nullptr;
    ~StbPixels() { stbi_image_free(data); }
};

}  // namespace

Result loadTextureFromFile(Device* device, const char* enginePath, Texture** texture, std::string* error) {
    if (texture) *texture = nullptr;
    if (device == nullptr || enginePath == nullptr || texture == nullptr)
        return fail(error, "no device, path or texture to fill", kInvalidCall);

    std::string bytes;
    using platform::ReadStatus;
    switch (platform::readWholeFile(platform::PathResolver::resolve(enginePath), bytes, kMaxImageFileBytes)) {
        case ReadStatus::Ok:
            break;
        case ReadStatus::Missing:
            return fail(error, "cannot open the file", kFail);
        case ReadStatus::TooLarge:
            return fail(error, "the file is larger than 256 MiB", kFail);
        default:
            return fail(error, "cannot read the file", kFail);
    }
    if (DdsImage::looksLikeDds(bytes)) {
        DdsImage dds;
        std::string why;
        if (!DdsImage::decode(bytes, kMaxTextureSize, dds, why)) return fail(error, why, kFail);
        const Result made = device->CreateTexture(dds.width, dds.height, dds.pixels.data(), texture, dds.levels);
        if (failed(made)) return fail(error, "the device could not make the texture", made);
        return kOk;
    }
    if (bytes.size() > static_cast<std::size_t>(INT32_MAX)) return fail(error, "the file is too large", kFail);
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const int size = static_cast<int>(bytes.size());

    // The declared size first: nothing is decoded for a side the device cannot take.
    int width = 0, height = 0, channels = 0;
    if (!stbi_info_from_memory(data, size, &width, &height, &channels))
        return fail(error, std::string("not an image in a known form: ") + stbi_failure_reason(), kFail);
    if (width < 1 || height < 1 || static_cast<std::uint32_t>(width) > kMaxTextureSize ||
        static_cast<std::uint32_t>(height) > kMaxTextureSize)
        return fail(error,
                    "the image is " + std::to_string(width) + " x " + std::to_string(height) +
                        " pixels; sides of 1 to " + std::to_string(kMaxTextureSize) + " are taken",
                    kFail);

    StbPixels pixels;
    pixels.data = stbi_load_from_memory(data, size, &width, &height, &channels, 4);
    if (pixels.data == nullptr)
        return fail(error, std::string("the image is damaged: ") + stbi_failure_reason(), kFail);

    // Bytes R G B A to words 0xAARRGGBB.
    std::vector<std::uint32_t> argb(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    for (std::size_t i = 0; i < argb.size(); ++i) {
        const unsigned char* p = pixels.data + i * 4;
        argb[i] = (std::uint32_t{p[3]} << 24) | (std::uint32_t{p[0]} << 16) | (std::uint32_t{p[1]} << 8) | p[2];
    }
    const Result result = device->CreateTexture(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                                argb.data(), texture);
    if (failed(result)) return fail(error, "the device could not make the texture", result);
    return kOk;
}

}  // namespace krovane::gfx
