#include "sync/unitDLLSync.h"

#include <memory>

#include "platform/runtime/Guard.h"
#include "platform/runtime/Module_win32.h"
#include "platform/runtime/Sleep.h"
#include "platform/runtime/Thread.h"

namespace {

const char kWindowClass[] = "Orvale8SyncWindow";

std::unique_ptr<TSyncHelper> g_syncHelper;

LRESULT CALLBACK SyncWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* helper = reinterpret_cast<TSyncHelper*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    if (!helper) return DefWindowProcA(window, message, wParam, lParam);
    LRESULT result = 0;
    platform::Guarded([&] { result = helper->WndProc(message, wParam, lParam); });
    return result;
}

void WakeThunk(void* self) { static_cast<TSyncHelper*>(self)->PostWakeMessage(); }

void RegisterWindowClass() {
    // A class left behind by an unload on another thread (see the
    // destructor) goes first, so the class's procedure is this module's.
    UnregisterClassA(kWindowClass, platform::ThisModule());
    WNDCLASSA wc = {};
    wc.lpfnWndProc = SyncWindowProc;
    wc.hInstance = platform::ThisModule();
    wc.lpszClassName = kWindowClass;
    RegisterClassA(&wc);
}

}  // namespace

TSyncHelper::TSyncHelper() {
    RegisterWindowClass();
    // Message-only: never shown, needs no desktop, still has a message queue slot.
    window_.Reset(CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  platform::ThisModule(), nullptr));
    if (!window_) return;
    SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    platform::SetWakeMainThread({&WakeThunk, this});
}

TSyncHelper::~TSyncHelper() {
    platform::SetWakeMainThread({});
    if (window_) SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
    if (window_ && GetWindowThreadProcessId(window_.Get(), nullptr) != GetCurrentThreadId()) {
        // Unloaded on another thread (a reader left behind dropped the last
        // reference): only the window's own thread may destroy it. It gets
        // the system's procedure, so no message reaches code about to be
        // unmapped, and is closed when that thread next pumps.
        SetWindowLongPtrA(window_.Get(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&DefWindowProcA));
        PostMessageA(window_.Release(), WM_CLOSE, 0, 0);
    }
    window_.Reset();
    UnregisterClassA(kWindowClass, platform::ThisModule());
}

// Reader thread, under the hook's lock. A host that does not pump for a while
// fills its queue (10,000 messages on Windows) and the post fails; a lost wake
// would leave the reader waiting until CloseDevice, so it is posted again
// after a pause, for as long as a call waits and the window exists.
void TSyncHelper::PostWakeMessage() {
    constexpr int kWakeRetryMs = 20;
    while (!PostMessageA(window_.Get(), kSyncWakeMessage, 0, 0)) {
        if (destroyed_ || !platform::HasQueuedCalls()) return;
        platform::Sleep(kWakeRetryMs);
    }
}

LRESULT TSyncHelper::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSyncWakeMessage) {
        platform::CheckSynchronize();
        return 0;
    }
    if (message == WM_NCDESTROY) {
        // Destroyed from outside (our destructor detaches first): nothing can
        // wake this thread any more, so the device must not open. A post
        // being retried gives up first, or clearing the hook would wait on it.
        destroyed_ = true;
        platform::SetWakeMainThread({});
        SetWindowLongPtrA(window_.Get(), GWLP_USERDATA, 0);
        const HWND gone = window_.Release();
        return DefWindowProcA(gone, message, wParam, lParam);
    }
    return DefWindowProcA(window_.Get(), message, wParam, lParam);
}

namespace unitDLLSync {

void Initialize() { g_syncHelper = std::make_unique<TSyncHelper>(); }

void Finalize() { g_syncHelper.reset(); }

}  // namespace unitDLLSync
