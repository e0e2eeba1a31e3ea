// Runs the reader's marshalled calls on the thread that loaded the library.
// The host's message loop knows nothing of our queue, so a hidden window on
// that thread is woken with message 2357 whenever a call is queued, and its
// window procedure drains the queue.
#pragma once

#include <windows.h>

#include <atomic>

#include "platform/runtime/Handles_win32.h"

constexpr UINT kSyncWakeMessage = 2357;

class TSyncHelper {
public:
    // Creates the hidden window and, when it exists, installs the wake hook:
    // without the hook the device refuses to open.
    TSyncHelper();
    ~TSyncHelper();  // clears the hook, then destroys the window
    TSyncHelper(const TSyncHelper&) = delete;
    TSyncHelper& operator=(const TSyncHelper&) = delete;

    void PostWakeMessage();
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    platform::UniqueWindow window_;
    std::atomic<bool> destroyed_{false};  // the window, from outside
};

namespace unitDLLSync {
// Module start-up and shutdown, on the loading thread.
void Initialize();
void Finalize();
}  // namespace unitDLLSync
