// The system functions that tests and the benchmark look up at run time, on
// top of the product's own (platform/runtime/SystemFunctions_win32.h): Wine's
// own, and those the oldest supported Windows lacks. Each accessor gives null
// where this system has none.
#pragma once

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include "platform/runtime/SystemFunctions_win32.h"

namespace ovtest {

OV_SYSTEM_FUNCTION(L"kernel32.dll", K32GetProcessMemoryInfo, BOOL(WINAPI*)(HANDLE, PROCESS_MEMORY_COUNTERS*, DWORD))
OV_SYSTEM_FUNCTION(L"kernel32.dll", wine_get_unix_file_name, char*(CDECL*)(const wchar_t*))
OV_SYSTEM_FUNCTION(L"ntdll.dll", wine_get_version, const char*(CDECL*)())
OV_SYSTEM_FUNCTION(L"ntdll.dll", NtQueryInformationThread, decltype(&::NtQueryInformationThread))
OV_SYSTEM_FUNCTION(L"ntdll.dll", NtQueryObject, decltype(&::NtQueryObject))
OV_SYSTEM_FUNCTION(L"ntdll.dll", LdrLockLoaderLock, LONG(WINAPI*)(ULONG, ULONG*, ULONG_PTR*))
OV_SYSTEM_FUNCTION(L"ntdll.dll", LdrUnlockLoaderLock, LONG(WINAPI*)(ULONG, ULONG_PTR))

}  // namespace ovtest
