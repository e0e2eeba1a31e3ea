#include <windows.h>

#include "platform/OsEvent.h"

namespace platform {

struct OsEvent::Impl {
    HANDLE handle;
};

OsEvent::OsEvent(bool manualReset)
    : impl_(new Impl{CreateEventA(nullptr, manualReset, FALSE, nullptr)}) {}

OsEvent::~OsEvent() {
    if (impl_->handle) CloseHandle(impl_->handle);
    delete impl_;
}

void OsEvent::Set() { SetEvent(impl_->handle); }

bool OsEvent::IsSet() const { return WaitForSingleObject(impl_->handle, 0) == WAIT_OBJECT_0; }

bool OsEvent::Wait(int timeoutMs) {
    DWORD ms = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return WaitForSingleObject(impl_->handle, ms) == WAIT_OBJECT_0;
}

int WaitForEither(OsEvent& first, OsEvent& second) {
    HANDLE handles[2] = {first.impl_->handle, second.impl_->handle};
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, INFINITE, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return 0;
        if (r == WAIT_OBJECT_0 + 1) return 1;
        if (r == WAIT_OBJECT_0 + 2) {
            // Peeking delivers messages other threads sent to this one, so a
            // thread blocked in SendMessage towards us cannot deadlock the wait.
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE);
            continue;
        }
        // A failed wait must not spin: fall back to the first event alone.
        WaitForSingleObject(handles[0], INFINITE);
        return 0;
    }
}

}  // namespace platform
