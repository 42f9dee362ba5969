// DeviceResource: what every object made on a device shares. It holds a
// reference to its device, so the device outlives it whatever order they are
// released in, and unbinds itself from the device when it goes.
#pragma once

#include "gfx/ref_counted.h"

namespace krovane::gfx {

class Device;

class DeviceResource : public RefCounted {
public:
    Device* device() const { return device_.get(); }

protected:
    explicit DeviceResource(Device* device);
    ~DeviceResource() override;

private:
    Ref<Device> device_;
};

}  // namespace krovane::gfx
