#pragma once

#include <windows.h>

namespace platform {

// The instance handle of the module this code is linked into (the plug-in
// DLL, or a test program), for window classes and resources.
inline HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ThisModule), &module);
    return module;
}

}  // namespace platform
