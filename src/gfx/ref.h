// Ref: the handle that owns one reference to a shared object (see
// RefCounted: device objects, parameter trees, object templates). Copying
// adds a reference, destruction and reassignment give it back, moving hands
// it over; the object goes with its last handle. A plain pointer underneath:
// no atomics, the engine draws from one thread.
//
// Ref(p) takes a new reference to an object someone else holds;
// Ref::adopt(new X(...)) takes over the first reference of a new object.
// Creation functions fill a Ref given by address and leave it empty on
// failure.
#pragma once

#include <concepts>
#include <cstddef>
#include <utility>

namespace krovane::gfx {

template <typename T>
class Ref {
public:
    Ref() = default;
    Ref(std::nullptr_t) {}
    explicit Ref(T* object) : object_(object) {
        if (object_) object_->AddRef();
    }
    static Ref adopt(T* object) {
        Ref ref;
        ref.object_ = object;
        return ref;
    }

    Ref(const Ref& other) : Ref(other.object_) {}
    template <typename U>
    requires std::convertible_to<U*, T*> Ref(const Ref<U>& other) : Ref(other.get()) {}
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    template <typename U>
    requires std::convertible_to<U*, T*> Ref(Ref<U>&& other)
    noexcept : object_(other.detach()) {}
    ~Ref() { reset(); }

    // By value: copy and move, self-assignment included, in one.
    Ref& operator=(Ref other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }

    void reset() {
        if (T* object = std::exchange(object_, nullptr)) object->Release();
    }

    T* get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    friend bool operator==(const Ref& a, const Ref& b) { return a.object_ == b.object_; }
    friend bool operator==(const Ref& a, std::nullptr_t) { return a.object_ == nullptr; }

private:
    template <typename U>
    friend class Ref;
    // Gives up the reference without releasing it (to a Ref of a base type).
    T* detach() { return std::exchange(object_, nullptr); }

    T* object_ = nullptr;
};

}  // namespace krovane::gfx
