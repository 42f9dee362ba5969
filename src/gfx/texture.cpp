#include "gfx/texture.h"

#include "gfx/device.h"

namespace krovane::gfx {

Texture::Texture(Device* device, std::uint32_t width, std::uint32_t height)
    : device_(device), width_(width), height_(height) {
    device_->AddRef();
}

Texture::~Texture() {
    device_->unbind(this);
    device_->Release();
}

}  // namespace krovane::gfx
