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

namespace platform {

class TThread;
class OsEvent;
class NativeThread;

// A method reference: code and object, as the wake hook is kept.
struct TNotifyEvent {
    void (*Code)(void* self) = nullptr;
    void* Self = nullptr;
};

// Marks the calling thread as the main thread.
void SetMainThread();
bool IsMainThread();
// Whether the main thread has ended since it was marked (Windows only can
// tell; elsewhere never). Its marshalled calls would then never run.
bool MainThreadEnded();

// The hook fired after every queued call; {nullptr, nullptr} turns it off.
void SetWakeMainThread(TNotifyEvent hook);
TNotifyEvent GetWakeMainThread();

// Whether a marshalled call waits to be run.
bool HasQueuedCalls();

// Main thread only: runs every call queued so far, in queuing order, and
// returns whether any ran.
bool CheckSynchronize();

using TThreadMethod = std::function<void()>;

// Always created suspended; Resume starts the body, false when the system
// had no thread or event to give. A derived class whose
// Execute reads its own fields must call Terminate and WaitFor in its own
// destructor, because the body may still run while the base is destroyed.
// On Windows a running body keeps its module loaded.
class TThread {
public:
    TThread();
    virtual ~TThread();
    TThread(const TThread&) = delete;
    TThread& operator=(const TThread&) = delete;

    bool Resume();
    void Terminate() { terminated_ = true; }
    bool Terminated() const { return terminated_; }
    // Waits for the body to end; on the main thread it keeps running
    // marshalled calls (and lets sent window messages through) meanwhile.
    // With a timeout (milliseconds, counted again after each marshalled call
    // it ran) false when the body has not ended by then. Under the loader
    // lock it returns once the body has ended; the thread ends later.
    bool WaitFor(int timeoutMs = -1);
    // Gives up on a body that does not end: its marshalled calls are no
    // longer run (they return at once, unrun), and the object deletes itself
    // when the body ends. True when the body still runs; false when it had
    // ended, and the caller still owns the object. Main thread only.
    bool Abandon();

protected:
    virtual void Execute() = 0;
    // Runs method on the main thread and waits for it; runs it at once when
    // called on the main thread. An exception it raises is raised again here.
    void Synchronize(const TThreadMethod& method);

private:
    friend bool CheckSynchronize();
    enum State { kRunning, kEnded, kAbandoned };
    static void Body(void* self);
    std::atomic<bool> terminated_{false};
    std::atomic<int> state_{kRunning};
    std::unique_ptr<OsEvent> ended_;
    std::unique_ptr<OsEvent> callRun_;  // set when this thread's marshalled call has run
    std::unique_ptr<NativeThread> thread_;
};

}  // namespace platform
