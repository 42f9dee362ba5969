// RefCounted: shared ownership of device objects with explicit AddRef and
// Release, the way the engine holds its device, textures and buffers.
//
// An object starts with one reference, owned by whoever created it, and
// destroys itself when the last reference is released. Resources hold a
// reference to the device that made them, so the device object outlives them
// whatever order the engine releases things in.
#pragma once

#include <cstdint>

namespace krovane::gfx {

class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    void AddRef() { ++references_; }
    // Drops one reference and returns how many are left; the object is gone at 0.
    std::uint32_t Release() {
        const std::uint32_t left = --references_;
        if (left == 0) delete this;
        return left;
    }

protected:
    virtual ~RefCounted() = default;

private:
    std::uint32_t references_ = 1;
};

}  // namespace krovane::gfx
