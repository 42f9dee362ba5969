#include "gfx/device_buffer.h"

namespace krovane::gfx {

Result DeviceBuffer::Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t) {
    if (data == nullptr) return kInvalidCall;
    *data = nullptr;
    if (locked_ || offset > length()) return kInvalidCall;
    if (size == 0) size = length() - offset;
    if (size > length() - offset) return kInvalidCall;
    locked_ = true;
    lockOffset_ = offset;
    lockSize_ = size;
    *data = bytes_.data() + offset;
    return kOk;
}

Result DeviceBuffer::Unlock() {
    if (!locked_) return kInvalidCall;
    locked_ = false;
    unlocked();
    upload(lockOffset_, lockSize_);
    return kOk;
}

}  // namespace krovane::gfx
