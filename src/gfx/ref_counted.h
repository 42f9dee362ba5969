// RefCounted: the reference count of what the engine shares: device objects
// (the device, textures, buffers, meshes, effects, fonts), and the parameter
// trees and object templates that objects read from one file share. Only Ref
// (see ref.h) adds and releases references, so every reference has an owner
// that gives it back. The count is not part of an object's value: a Ref to a
// const object holds it as firmly as any other.
//
// An object starts with one reference, taken over by the Ref of whoever
// created it, and destroys itself when the last reference is released. Resources hold a
// reference to the device that made them, so the device object outlives them
// whatever order the engine releases things in.
#pragma once

#include <cstdint>

#include "gfx/ref.h"

namespace krovane::gfx {

class RefCounted {
public:
    RefCounted() = default;
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

    // References held now (the resource cache lets go of what only it holds).
    std::uint32_t references() const { return references_; }

protected:
    virtual ~RefCounted() = default;

private:
    template <typename T>
    friend class Ref;

    void AddRef() const { ++references_; }
    // Drops one reference; the object is gone at 0.
    void Release() const {
        if (--references_ == 0) delete this;
    }

    mutable std::uint32_t references_ = 1;
};

}  // namespace krovane::gfx
