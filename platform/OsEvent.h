// A waitable event, and the main thread's wait for "this ended or that was
// signalled". On Windows these are kernel events and the wait lets sent
// window messages through; elsewhere one mutex and condition serve all events.
#pragma once

namespace platform {

class OsEvent {
public:
    explicit OsEvent(bool manualReset);
    ~OsEvent();
    OsEvent(const OsEvent&) = delete;
    OsEvent& operator=(const OsEvent&) = delete;

    void Set();
    bool IsSet() const;
    // Waits up to timeoutMs (negative: for ever); true when signalled.
    bool Wait(int timeoutMs);

private:
    friend int WaitForEither(OsEvent& first, OsEvent& second);
    struct Impl;
    Impl* impl_;
};

// Waits until one of the events is signalled and returns 0 or 1 for it
// (consuming an auto-reset event). On Windows, window messages sent to the
// calling thread by other threads are delivered while it waits.
int WaitForEither(OsEvent& first, OsEvent& second);

}  // namespace platform
