#include "platform/runtime/SystemFunctions_win32.h"

namespace platform {

void (*FindSystemFunction(SystemFunctionSlot& slot, const wchar_t* module, const char* name))() {
    if (__atomic_load_n(&slot.found, __ATOMIC_ACQUIRE)) return __atomic_load_n(&slot.function, __ATOMIC_RELAXED);
    // A module not loaded yet may still come: only a module's answer is kept.
    const HMODULE loaded = ::GetModuleHandleW(module);
    if (!loaded) return nullptr;
    const auto function = reinterpret_cast<void (*)()>(::GetProcAddress(loaded, name));
    __atomic_store_n(&slot.function, function, __ATOMIC_RELAXED);
    __atomic_store_n(&slot.found, 1, __ATOMIC_RELEASE);
    return function;
}

}  // namespace platform
