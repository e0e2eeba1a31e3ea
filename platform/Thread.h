// Worker threads and calls marshalled to the main thread.
//
// The main thread is the one that called SetMainThread (the library's loading
// thread). A worker's Synchronize queues a call, fires the WakeMainThread hook
// and blocks until the main thread has run it in CheckSynchronize; the main
// thread's WaitFor on a worker keeps running queued calls, so a worker blocked
// in Synchronize can always finish.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

namespace platform {

class TThread;
class OsEvent;

// A method reference: code and object, as the wake hook is kept.
struct TNotifyEvent {
    void (*Code)(void* self, TThread* sender) = nullptr;
    void* Self = nullptr;
};

// Marks the calling thread as the main thread.
void SetMainThread();
bool IsMainThread();

// The hook fired after every queued call; {nullptr, nullptr} turns it off.
void SetWakeMainThread(TNotifyEvent hook);
TNotifyEvent GetWakeMainThread();

// Whether a marshalled call waits to be run.
bool HasQueuedCalls();

// Main thread only: runs every call queued so far, in queuing order, and
// returns whether any ran. A timeout above 0 first waits that long for a call.
bool CheckSynchronize(int timeoutMs = 0);

using TThreadMethod = std::function<void()>;

// Always created suspended; Resume starts the body (both throw when the
// system has no thread or event to give). A derived class whose
// Execute reads its own fields must call Terminate and WaitFor in its own
// destructor, because the body may still run while the base is destroyed.
class TThread {
public:
    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    void Resume();
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Waits for the body to end; on the main thread it keeps running
    // marshalled calls (and lets sent window messages through) meanwhile.
    void WaitFor();

protected:
    virtual void Execute() = 0;
    // Runs method on the main thread and waits for it; runs it at once when
    // called on the main thread. An exception it raises is raised again here.
    void Synchronize(const TThreadMethod& method);

private:
    static void Body(TThread* self);
    std::atomic<bool> terminated_{false};
    std::unique_ptr<OsEvent> ended_;
    std::unique_ptr<OsEvent> callRun_;  // set when this thread's marshalled call has run
    std::thread thread_;
};

}  // namespace platform
