// IndexBuffer: triangle corner numbers kept on the device, 16 or 32 bits
// each, filled through Lock/Unlock like a vertex buffer and drawn with
// Device::SetIndices and DrawIndexedPrimitive.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/device_resource.h"
#include "gfx/device_types.h"

namespace krovane::gfx {

class IndexBuffer : public DeviceResource {
public:
    Result Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags);
    Result Unlock();

    std::uint32_t length() const { return static_cast<std::uint32_t>(bytes_.size()); }
    std::uint32_t indexSize() const { return indexSize_; }  // 2 or 4 bytes
    std::uint32_t indexCount() const { return length() / indexSize_; }
    bool locked() const { return locked_; }
    const std::uint8_t* bytes() const { return bytes_.data(); }
    // The index at `i` (below indexCount()).
    std::uint32_t at(std::uint32_t i) const;
    // The largest index the buffer holds, as of the last Unlock.
    std::uint32_t maxIndex() const { return maxIndex_; }

protected:
    IndexBuffer(Device* device, std::uint32_t length, std::uint32_t indexSize)
        : DeviceResource(device), bytes_(length), indexSize_(indexSize) {}
    // Called at Unlock with the range that was locked.
    virtual void upload(std::uint32_t offset, std::uint32_t size) = 0;

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t indexSize_;
    std::uint32_t lockOffset_ = 0, lockSize_ = 0;
    std::uint32_t maxIndex_ = 0;
    bool locked_ = false;
};

}  // namespace krovane::gfx
