// VertexBuffer: vertex data kept on the device, filled through Lock/Unlock
// and drawn with Device::SetStreamSource and DrawPrimitive.
//
// Lock(offset, size, &data) gives `size` writable bytes at `offset` (size 0:
// from offset to the end); the buffer keeps a copy in memory and hands it to
// the backend at Unlock. Locking twice, or a range past the end, is an
// invalid call. Pairing: every successful Lock is followed by one Unlock
// before the buffer is drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/device_resource.h"
#include "gfx/device_types.h"

namespace krovane::gfx {

class VertexBuffer : public DeviceResource {
public:
    Result Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags);
    Result Unlock();

    std::uint32_t length() const { return static_cast<std::uint32_t>(bytes_.size()); }
    std::uint32_t fvf() const { return fvf_; }
    bool locked() const { return locked_; }
    const std::uint8_t* bytes() const { return bytes_.data(); }

protected:
    VertexBuffer(Device* device, std::uint32_t length, std::uint32_t fvf)
        : DeviceResource(device), bytes_(length), fvf_(fvf) {}
    // Called at Unlock with the range that was locked.
    virtual void upload(std::uint32_t offset, std::uint32_t size) = 0;

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t fvf_;
    std::uint32_t lockOffset_ = 0, lockSize_ = 0;
    bool locked_ = false;
};

}  // namespace krovane::gfx
