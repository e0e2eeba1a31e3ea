// The simulated box's answer to a driver call, and how it travels when the
// box lives in another process than the driver (an x64 test keeps the box,
// the 32-bit driver runs in the plug-in's companion): the call goes as its
// log entry, the answer comes back as a BoxAnswer, both fixed-size and laid
// out alike in 32-bit and 64-bit programs.
#pragma once

#include <windows.h>

#include <cstdint>

#include "device/usbid.h"
#include "tools/simdrv/SimDrvControl.h"

namespace simdrv {

// The environment variable naming the pipe of a box kept by the test; the
// driver forwards its calls there when it finds it.
constexpr const char* kBoxPipeVariable = "OV_SIMBOX_PIPE";

// What the driver does with a call once the box has decided.
enum class Act : std::int32_t {
    Return = 0,  // returns Result
    Store = 1,   // writes Record and filler up to Size bytes, returns Result
    Fault = 2,   // raises an access violation in the calling thread
    Crash = 3,   // ends its process by a fault on a thread of its own
};

struct BoxAnswer {
    Act Action;
    std::int32_t Result;
    std::int32_t Size;
    TDriverEvent Record;
};
static_assert(sizeof(LogEntry) == 96 && sizeof(BoxAnswer) == 68, "the same bytes in 32 and 64 bits");

// Whole-buffer transfers over a byte-mode pipe.
inline bool ReadAll(HANDLE pipe, void* data, DWORD size) {
    for (DWORD done = 0, got = 0; done < size; done += got)
        if (!ReadFile(pipe, static_cast<char*>(data) + done, size - done, &got, nullptr) || !got) return false;
    return true;
}
inline bool WriteAll(HANDLE pipe, const void* data, DWORD size) {
    for (DWORD done = 0, put = 0; done < size; done += put)
        if (!WriteFile(pipe, static_cast<const char*>(data) + done, size - done, &put, nullptr) || !put) return false;
    return true;
}

}  // namespace simdrv
