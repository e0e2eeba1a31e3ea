// The platform's pause. On Windows the kernel's Sleep: the C++ library's
// sleep_for waits on an event there, which costs a server round trip under Wine.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include <chrono>
#include <thread>
#endif

namespace platform {

inline void Sleep(int milliseconds) {
#ifdef _WIN32
    ::Sleep(static_cast<DWORD>(milliseconds));
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
#endif
}

}  // namespace platform
