// Runs a call and discards anything it raises: C++ exceptions, and on Windows
// structured exceptions too (access violations, RaiseException from code in
// another language). Every entry point from outside runs inside one.
#pragma once

#include <type_traits>

namespace platform {

// Returns true when fn returned normally, false when something was discarded.
bool GuardedCall(void (*fn)(void*), void* arg) noexcept;

template <class F>
bool Guarded(F&& f) noexcept {
    using Fn = std::remove_reference_t<F>;
    return GuardedCall([](void* p) { (*static_cast<Fn*>(p))(); }, &f);
}

}  // namespace platform
