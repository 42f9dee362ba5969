#include "gfx/texture_loader.h"

#include <algorithm>
#include <cstdint>

#include "formats/image_file.h"
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

}  // namespace

Result loadTextureFromFile(Device* device, const char* enginePath, Ref<Texture>* texture, std::string* error) {
    if (texture) texture->reset();
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
    formats::ImageFile image;
    std::string why;
    if (!formats::ImageFile::decode(bytes, kMaxTextureSize, image, why)) return fail(error, why, kFail);
    const Result made = device->CreateTexture(image.width, image.height, image.pixels.data(), texture, image.levels);
    if (failed(made)) return fail(error, "the device could not make the texture", made);
    (*texture)->noteTransparentPixels(
        std::any_of(image.pixels.begin(), image.pixels.end(), [](std::uint32_t p) { return p < 0xFF000000u; }));
    return kOk;
}

}  // namespace krovane::gfx
