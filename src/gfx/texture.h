// Texture: an image on the device, sampled on texture stage 0.
#pragma once

#include <cstdint>

#include "gfx/ref_counted.h"

namespace krovane::gfx {

class Device;

class Texture : public RefCounted {
public:
    std::uint32_t width() const { return width_; }
    std::uint32_t height() const { return height_; }
    Device* device() const { return device_; }

protected:
    Texture(Device* device, std::uint32_t width, std::uint32_t height);
    ~Texture() override;

private:
    Device* device_;  // holds a reference
    std::uint32_t width_, height_;
};

}  // namespace krovane::gfx
