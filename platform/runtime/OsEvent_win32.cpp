#include <windows.h>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/OsEvent.h"

namespace platform {

struct OsEvent::Impl {
    UniqueHandle handle;
};

OsEvent::OsEvent(bool manualReset)
    : impl_(new Impl{UniqueHandle(CreateEventA(nullptr, manualReset, FALSE, nullptr))}) {}

OsEvent::~OsEvent() = default;

bool OsEvent::Valid() const { return impl_->handle.Valid(); }

void OsEvent::Set() { SetEvent(impl_->handle.Get()); }

bool OsEvent::Wait(int timeoutMs) {
    DWORD ms = timeoutMs < 0 ? INFINITE : static_cast<DWORD>(timeoutMs);
    return WaitForSingleObject(impl_->handle.Get(), ms) == WAIT_OBJECT_0;
}

int WaitForEither(OsEvent& first, OsEvent& second, int timeoutMs) {
    HANDLE handles[2] = {first.impl_->handle.Get(), second.impl_->handle.Get()};
    const DWORD start = GetTickCount();
    for (;;) {
        DWORD wait = INFINITE;
        if (timeoutMs >= 0) {
            const DWORD waited = GetTickCount() - start;
            wait = waited >= DWORD(timeoutMs) ? 0 : DWORD(timeoutMs) - waited;
        }
        DWORD r = MsgWaitForMultipleObjects(2, handles, FALSE, wait, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return 0;
        if (r == WAIT_OBJECT_0 + 1) return 1;
        if (r == WAIT_TIMEOUT) return -1;
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
