#include "sync/unitDLLSync.h"

#include <memory>

#include "platform/Guard.h"
#include "platform/Module.h"
#include "platform/Thread.h"

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

void WakeThunk(void* self, platform::TThread* sender) {
    static_cast<TSyncHelper*>(self)->PostWakeMessage(sender);
}

void RegisterWindowClass() {
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
    window_ = CreateWindowExA(0, kWindowClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                              platform::ThisModule(), nullptr);
    if (window_) SetWindowLongPtrA(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    platform::SetWakeMainThread({&WakeThunk, this});
}

TSyncHelper::~TSyncHelper() {
    platform::SetWakeMainThread({});
    if (window_) DestroyWindow(window_);
    UnregisterClassA(kWindowClass, platform::ThisModule());
}

void TSyncHelper::PostWakeMessage(platform::TThread*) { PostMessageA(window_, kSyncWakeMessage, 0, 0); }

LRESULT TSyncHelper::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kSyncWakeMessage) {
        platform::CheckSynchronize(0);
        return 0;
    }
    return DefWindowProcA(window_, message, wParam, lParam);
}

namespace unitDLLSync {

void Initialize() { g_syncHelper = std::make_unique<TSyncHelper>(); }

void Finalize() { g_syncHelper.reset(); }

TSyncHelper* SyncHelper() { return g_syncHelper.get(); }

}  // namespace unitDLLSync
