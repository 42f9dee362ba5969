#include "gfx/index_buffer.h"

#include <algorithm>
#include <cstring>

namespace krovane::gfx {

void IndexBuffer::unlocked() {
    maxIndex_ = 0;
    for (std::uint32_t i = 0, n = indexCount(); i < n; ++i) maxIndex_ = std::max(maxIndex_, at(i));
}

std::uint32_t IndexBuffer::at(std::uint32_t i) const {
    std::uint32_t v;
    if (indexSize_ == 2) {
        std::uint16_t small;
        std::memcpy(&small, bytes() + std::size_t{i} * 2, 2);
        v = small;
    } else {
        std::memcpy(&v, bytes() + std::size_t{i} * 4, 4);
    }
    return v;
}

}  // namespace krovane::gfx
