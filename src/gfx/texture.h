// Texture: an image on the device, sampled on texture stage 0.
#pragma once

#include <cstdint>

#include "gfx/device_resource.h"

namespace krovane::gfx {

class Texture : public DeviceResource {
public:
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }

protected:
    Texture(Device* device, std::uint32_t width, std::uint32_t height)
        : DeviceResource(device), width_(width), height_(height) {}

private:
    std::uint32_t width_, height_;
};

}  // namespace krovane::gfx
