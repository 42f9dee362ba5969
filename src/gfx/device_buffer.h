// DeviceBuffer: bytes kept on the device (vertices or indices), filled
// through Lock/Unlock. The buffer keeps a copy in memory and hands the locked
// range to the backend at Unlock.
//
// Lock(offset, size, &data) gives `size` writable bytes at `offset` (size 0:
// from offset to the end). Locking twice, or a range past the end, is an
// invalid call. Pairing: every successful Lock is followed by one Unlock
// before the buffer is drawn.
#pragma once

#include <cstdint>
#include <vector>

#include "gfx/device_resource.h"
#include "gfx/device_types.h"

namespace krovane::gfx {

class DeviceBuffer : public DeviceResource {
public:
    Result Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t flags);
    Result Unlock();

    std::uint32_t length() const { return static_cast<std::uint32_t>(bytes_.size()); }
    bool locked() const { return locked_; }
    const std::uint8_t* bytes() const { return bytes_.data(); }

protected:
    DeviceBuffer(Device* device, std::uint32_t length) : DeviceResource(device), bytes_(length) {}
    // Called at Unlock, before upload, once the new bytes are in place.
    virtual void unlocked() {}
    // Called at Unlock with the range that was locked.
    virtual void upload(std::uint32_t offset, std::uint32_t size) = 0;

private:
    std::vector<std::uint8_t> bytes_;
    std::uint32_t lockOffset_ = 0, lockSize_ = 0;
    bool locked_ = false;
};

}  // namespace krovane::gfx
