#include "gfx/index_buffer.h"

#include <algorithm>
#include <cstring>

namespace krovane::gfx {

Result IndexBuffer::Lock(std::uint32_t offset, std::uint32_t size, void** data, std::uint32_t) {
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

Result IndexBuffer::Unlock() {
    if (!locked_) return kInvalidCall;
    locked_ = false;
    maxIndex_ = 0;
    for (std::uint32_t i = 0, n = indexCount(); i < n; ++i) maxIndex_ = std::max(maxIndex_, at(i));
    upload(lockOffset_, lockSize_);
    return kOk;
}

std::uint32_t IndexBuffer::at(std::uint32_t i) const {
    if (indexSize_ == 2) {
        std::uint16_t v;
        std::memcpy(&v, bytes_.data() + std::size_t{i} * 2, 2);
        return v;
    }
    std::uint32_t v;
    std::memcpy(&v, bytes_.data() + std::size_t{i} * 4, 4);
    return v;
}

}  // namespace krovane::gfx
