// Runs the reader's marshalled calls on the thread that loaded the library.
// The host's message loop knows nothing of our queue, so a hidden window on
// that thread is woken with message 2357 whenever a call is queued, and its
// window procedure drains the queue.
#pragma once

#include <windows.h>

namespace platform { class TThread; }

constexpr UINT kSyncWakeMessage = 2357;

class TSyncHelper {
public:
    TSyncHelper();   // creates the hidden window and installs the wake hook
    ~TSyncHelper();  // clears the hook, then destroys the window
    TSyncHelper(const TSyncHelper&) = delete;
    TSyncHelper& operator=(const TSyncHelper&) = delete;

    HWND WindowHandle() const { return window_; }
    void PostWakeMessage(platform::TThread* sender);
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    HWND window_ = nullptr;
};

namespace unitDLLSync {
// Module start-up and shutdown, on the loading thread.
void Initialize();
void Finalize();
// The helper while the module is started, or nullptr.
TSyncHelper* SyncHelper();
}  // namespace unitDLLSync
