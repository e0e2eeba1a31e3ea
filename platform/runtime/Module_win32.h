// Modules: the one this code is linked into, and the functions of system
// modules that older Windows lacks.
#pragma once

#include <windows.h>

namespace platform {

// The instance handle of the module this code is linked into (the plug-in
// DLL, or a test program), for window classes and resources.
HINSTANCE ThisModule();

// A function of a loaded system module (kernel32.dll, user32.dll, ntdll.dll)
// by name: null where this Windows has none. Looked up, not imported, so
// that the binary still loads on the oldest Windows it supports.
template <class F>
F SystemFunction(const wchar_t* module, const char* name) {
    const HMODULE loaded = ::GetModuleHandleW(module);
    const FARPROC function = loaded ? ::GetProcAddress(loaded, name) : nullptr;
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(function));
}

}  // namespace platform
