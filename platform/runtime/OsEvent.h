// A waitable event, and the main thread's wait for "this ended or that was
// signalled". On Windows these are kernel events and the wait lets sent
// window messages through; elsewhere one mutex and condition serve all events.
#pragma once

#include <memory>

namespace platform {

class OsEvent {
public:
    explicit OsEvent(bool manualReset);
    ~OsEvent();
    OsEvent(const OsEvent&) = delete;
    OsEvent& operator=(const OsEvent&) = delete;

    // False when the system had no event to give: a wait on it would return
    // at once, and a caller that believed it had waited would go on too early.
    bool Valid() const;
    void Set();
    // Waits up to timeoutMs (negative: for ever); true when signalled.
    bool Wait(int timeoutMs);

private:
    friend int WaitForEither(OsEvent& first, OsEvent& second, int timeoutMs);
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Waits until one of the events is signalled and returns 0 or 1 for it
// (consuming an auto-reset event), or -1 when timeoutMs (negative: no limit)
// passed first. On Windows, window messages sent to the calling thread by
// other threads are delivered while it waits.
int WaitForEither(OsEvent& first, OsEvent& second, int timeoutMs = -1);

}  // namespace platform
