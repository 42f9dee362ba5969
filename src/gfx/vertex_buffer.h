// VertexBuffer: vertex data kept on the device, filled through Lock/Unlock
// (see DeviceBuffer) and drawn with Device::SetStreamSource and DrawPrimitive.
#pragma once

#include <cstdint>

#include "gfx/device_buffer.h"

namespace krovane::gfx {

class VertexBuffer : public DeviceBuffer {
public:
    std::uint32_t fvf() const { return fvf_; }

protected:
    VertexBuffer(Device* device, std::uint32_t length, std::uint32_t fvf) : DeviceBuffer(device, length), fvf_(fvf) {}

private:
    std::uint32_t fvf_;
};

}  // namespace krovane::gfx
