// IndexBuffer: triangle corner numbers kept on the device, 16 or 32 bits
// each, filled through Lock/Unlock (see DeviceBuffer) and drawn with
// Device::SetIndices and DrawIndexedPrimitive.
#pragma once

#include <cstdint>

#include "gfx/device_buffer.h"

namespace krovane::gfx {

class IndexBuffer : public DeviceBuffer {
public:
    std::uint32_t indexSize() const { return indexSize_; }  // 2 or 4 bytes
    std::uint32_t indexCount() const { return length() / indexSize_; }
    // The index at `i` (below indexCount()).
    std::uint32_t at(std::uint32_t i) const;
    // The largest index the buffer holds, as of the last Unlock.
    std::uint32_t maxIndex() const { return maxIndex_; }

protected:
    IndexBuffer(Device* device, std::uint32_t length, std::uint32_t indexSize)
        : DeviceBuffer(device, length), indexSize_(indexSize) {}
    void unlocked() override;

private:
    std::uint32_t indexSize_;
    std::uint32_t maxIndex_ = 0;
};

}  // namespace krovane::gfx
