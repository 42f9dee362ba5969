#include "gfx/device_resource.h"

#include "gfx/device.h"

namespace krovane::gfx {

DeviceResource::DeviceResource(Device* device) : device_(device) {}

// Unbinds before the device reference goes with the member.
DeviceResource::~DeviceResource() { device_->unbind(this); }

}  // namespace krovane::gfx
