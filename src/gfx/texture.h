// Texture: an image on the device, sampled on texture stage 0.
#pragma once

#include <cstdint>

#include "gfx/device_resource.h"

namespace krovane::gfx {

class Texture : public DeviceResource {
public:
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    // Whether a pixel of the file it was made from is not wholly opaque
    // (alpha below 255); false for textures not made from a file.
    bool hasTransparentPixels() const { return transparent_; }
    void noteTransparentPixels(bool transparent) { transparent_ = transparent; }

protected:
    Texture(Device* device, std::uint32_t width, std::uint32_t height)
        : DeviceResource(device), width_(width), height_(height) {}

private:
    std::uint32_t width_, height_;
    bool transparent_ = false;
};

}  // namespace krovane::gfx
