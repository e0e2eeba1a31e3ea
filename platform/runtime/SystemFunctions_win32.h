// The system functions that some Windows this code supports lacks, each
// declared once here and found by name on first use instead of imported: a
// binary that imports a function its system DLLs lack does not load. Each
// accessor gives the function, or null where this Windows has none. A type
// is the headers' own declaration where the XP headers declare the function.
#pragma once

#include <windows.h>
#include <winternl.h>

namespace platform {

// Where one function's address is kept once found. Zero-initialized, so ready
// before any code runs: a first use takes no lock (none that a killed thread
// could leave held, none to wait on under the loader lock), and two threads
// that race both find and keep the same answer.
struct SystemFunctionSlot {
    void (*function)();
    LONG found;
};

// The function name of the loaded module, looked up once per slot.
void (*FindSystemFunction(SystemFunctionSlot& slot, const wchar_t* module, const char* name))();

}  // namespace platform

// Defines Dyn<name>(): the function name of module (a loaded system DLL),
// of the type that follows.
#define OV_SYSTEM_FUNCTION(module, name, ...)                                                  \
    inline auto Dyn##name()->__VA_ARGS__ {                                                     \
        static ::platform::SystemFunctionSlot slot;                                            \
        return reinterpret_cast<__VA_ARGS__>(::platform::FindSystemFunction(slot, module, #name)); \
    }

namespace platform {

OV_SYSTEM_FUNCTION(L"kernel32.dll", GetTickCount64, ULONGLONG(WINAPI*)())
OV_SYSTEM_FUNCTION(L"kernel32.dll", GetFinalPathNameByHandleW, DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD))
OV_SYSTEM_FUNCTION(L"kernel32.dll", SetFileInformationByHandle, BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD))
OV_SYSTEM_FUNCTION(L"user32.dll", GetDpiForSystem, UINT(WINAPI*)())
OV_SYSTEM_FUNCTION(L"ntdll.dll", NtQueryInformationFile, decltype(&::NtQueryInformationFile))
OV_SYSTEM_FUNCTION(L"ntdll.dll", RtlDllShutdownInProgress, BOOLEAN(NTAPI*)())

}  // namespace platform
