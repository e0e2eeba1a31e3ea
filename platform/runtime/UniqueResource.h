// One owner for every kind of handle the product holds: a kernel object, a
// file descriptor, a window, a GDI object. Each kind is a one-line alias that
// names its close function and the value that means "nothing held", so the
// rule "closed exactly once, by whoever holds it" is written once.
#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace platform {

// Close is called once on a held value; Invalid is the value that holds
// nothing (for pointer-like handles, null also holds nothing, so a kernel
// handle with Invalid -1 treats both INVALID_HANDLE_VALUE and null as empty,
// as the API returns one or the other depending on the function).
template <class T, auto Close, std::intptr_t Invalid = 0>
class UniqueResource {
public:
    UniqueResource() noexcept : value_(Empty()) {}
    explicit UniqueResource(T value) noexcept : value_(value) {}
    ~UniqueResource() { Reset(); }

    UniqueResource(UniqueResource&& other) noexcept : value_(other.Release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    T Get() const noexcept { return value_; }
    bool Valid() const noexcept { return IsValid(value_); }
    explicit operator bool() const noexcept { return Valid(); }

    // Closes what is held (if anything) and holds value instead.
    void Reset(T value = Empty()) noexcept {
        if (IsValid(value_) && value_ != value) Close(value_);
        value_ = value;
    }

    // Gives up ownership without closing.
    T Release() noexcept { return std::exchange(value_, Empty()); }

private:
    static T Empty() noexcept {
        if constexpr (std::is_pointer_v<T>)
            return nullptr;
        else
            return static_cast<T>(Invalid);
    }
    static bool IsValid(T value) noexcept {
        if constexpr (std::is_pointer_v<T>)
            return value != nullptr && reinterpret_cast<std::intptr_t>(value) != Invalid;
        else
            return value != static_cast<T>(Invalid);
    }

    T value_;
};

}  // namespace platform
