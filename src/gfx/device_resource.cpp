#include "gfx/device_resource.h"

#include "gfx/device.h"

namespace krovane::gfx {

DeviceResource::DeviceResource(Device* device) : device_(device) { device_->AddRef(); }

DeviceResource::~DeviceResource() {
    device_->unbind(this);
    device_->Release();
}

}  // namespace krovane::gfx
