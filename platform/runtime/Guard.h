// Runs a call and discards anything it raises: C++ exceptions, and on Windows
// structured exceptions too (access violations, RaiseException from code in
// another language). Every entry point from outside runs inside one.
#pragma once

namespace platform {

// Returns true when fn returned normally, false when something was discarded.
bool GuardedCall(void (*fn)(void*), void* arg) noexcept;

template <class F>
bool Guarded(F&& f) noexcept {
    auto call = [&f] { f(); };
    return GuardedCall([](void* p) { (*static_cast<decltype(call)*>(p))(); }, &call);
}

}  // namespace platform
