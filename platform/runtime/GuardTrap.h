// The half of the guard that depends on the processor: how a structured
// exception raised inside a call becomes a return from it, after the frames
// inside have unwound. 32-bit Windows keeps a chain of handler records on the
// stack (GuardTrap_x86.cpp); x64 Windows finds handlers through tables beside
// the code (GuardTrap_x64.cpp). Guard_win32.cpp holds what both share.
#pragma once

#include <windows.h>

namespace platform {

struct TrapResult {
    bool returned;  // fn returned normally
    DWORD code;     // otherwise the structured exception discarded; 0 for a C++ exception
};

TrapResult CallTrapping(void (*fn)(void*), void* arg) noexcept;

}  // namespace platform
