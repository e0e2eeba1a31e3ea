// The system functions that some Windows this code supports lacks, each
// declared once here and found by name on first use, not imported: a binary
// that imports a function its system DLLs lack does not load. An accessor
// gives the function, or null where this Windows has none; its type is the
// headers' own declaration where the XP headers have one.
#pragma once

#include <windows.h>
#include <winternl.h>

namespace platform {

// One function's address once found. Zero-initialized, so ready before any
// code runs: a first use takes no lock (none a killed thread could leave
// held, none to wait on under the loader lock); threads that race find and
// keep the same answer.
struct SystemFunctionSlot {
    void (*function)();
    LONG found;
};

inline void (*FindSystemFunction(SystemFunctionSlot& slot, const wchar_t* module, const char* name))() {
    if (__atomic_load_n(&slot.found, __ATOMIC_ACQUIRE)) return __atomic_load_n(&slot.function, __ATOMIC_RELAXED);
    const HMODULE loaded = ::GetModuleHandleW(module);
    if (!loaded) return nullptr;  // not loaded yet: it may still come
    const auto function = reinterpret_cast<void (*)()>(::GetProcAddress(loaded, name));
    __atomic_store_n(&slot.function, function, __ATOMIC_RELAXED);
    __atomic_store_n(&slot.found, 1, __ATOMIC_RELEASE);
    return function;
}

// Defines Dyn<name>(): the function name of module, of the type that follows.
#define OV_SYSTEM_FUNCTION(module, name, ...)                                                      \
    inline auto Dyn##name()->__VA_ARGS__ {                                                         \
        static ::platform::SystemFunctionSlot slot;                                                \
        return reinterpret_cast<__VA_ARGS__>(::platform::FindSystemFunction(slot, module, #name)); \
    }

OV_SYSTEM_FUNCTION(L"kernel32.dll", GetTickCount64, ULONGLONG(WINAPI*)())
OV_SYSTEM_FUNCTION(L"kernel32.dll", GetFinalPathNameByHandleW, DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD))
OV_SYSTEM_FUNCTION(L"kernel32.dll", SetFileInformationByHandle, BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD))
OV_SYSTEM_FUNCTION(L"user32.dll", GetDpiForSystem, UINT(WINAPI*)())
OV_SYSTEM_FUNCTION(L"ntdll.dll", NtQueryInformationFile, decltype(&::NtQueryInformationFile))
OV_SYSTEM_FUNCTION(L"ntdll.dll", RtlDllShutdownInProgress, BOOLEAN(NTAPI*)())

}  // namespace platform
