#include "platform/runtime/Thread.h"

#include <exception>
#include <mutex>
#include <utility>

#include "platform/runtime/Guard.h"
#include "platform/runtime/LoaderState.h"
#include "platform/runtime/OsEvent.h"
#include "platform/runtime/ThreadNative.h"

namespace platform {
namespace {

// One marshalled call; lives on the waiting worker's stack, so queuing it
// allocates nothing (the heap costs the host thread microseconds per ring).
struct SyncCall {
    TThread* sender;
    const TThreadMethod* method;
    std::exception_ptr error;
    OsEvent* run;  // the worker's; set once the call has run
    SyncCall* next = nullptr;
};

// The calls in queuing order, linked through the calls themselves.
struct SyncCallList {
    SyncCall* first = nullptr;
    SyncCall* last = nullptr;
    bool Empty() const { return first == nullptr; }
    void Append(SyncCall* call) {
        (last ? last->next : first) = call;
        last = call;
    }
};

// The queue between workers and the main thread, with the wake hook.
struct SyncQueue {
    std::mutex mutex;
    SyncCallList calls;
    std::mutex hookMutex;  // guards `wake`; held while the hook runs
    TNotifyEvent wake;
    OsEvent queued{false};  // lets the main thread's waits notice a call
    int mainWaits = 0;      // waits of the main thread that watch `queued`
};

SyncQueue& Queue() {
    static SyncQueue queue;
    return queue;
}

// While one lives, workers signal `queued`; calls queued before it began did
// not, so Pending tells whether some were already waiting.
class MainWait {
public:
    explicit MainWait(SyncQueue& q) : q_(q) {
        std::lock_guard<std::mutex> lock(q_.mutex);
        ++q_.mainWaits;
        pending_ = !q_.calls.Empty();
    }
    ~MainWait() {
        std::lock_guard<std::mutex> lock(q_.mutex);
        --q_.mainWaits;
    }
    MainWait(const MainWait&) = delete;
    MainWait& operator=(const MainWait&) = delete;
    bool Pending() const { return pending_; }

private:
    SyncQueue& q_;
    bool pending_ = false;
};

}  // namespace

bool IsMainThread() { return CurrentThreadId() == MainThreadId(); }

void SetWakeMainThread(TNotifyEvent hook) {
    std::lock_guard<std::mutex> lock(Queue().hookMutex);
    Queue().wake = hook;
}

TNotifyEvent GetWakeMainThread() {
    std::lock_guard<std::mutex> lock(Queue().hookMutex);
    return Queue().wake;
}

bool HasQueuedCalls() {
    std::lock_guard<std::mutex> lock(Queue().mutex);
    return !Queue().calls.Empty();
}

bool CheckSynchronize() {
    SyncQueue& q = Queue();
    SyncCallList calls;
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        std::swap(calls, q.calls);
    }
    const bool any = !calls.Empty();
    for (SyncCall* call = calls.first, *next; call; call = next) {
        next = call->next;
        try {
            // An abandoned thread's call is released unrun: whoever gave up
            // on it has already told the host so.
            if (call->sender->state_ != TThread::kAbandoned) (*call->method)();
        } catch (...) {
            call->error = std::current_exception();
        }
        // The worker may return, and its call go, as soon as this is set.
        call->run->Set();
    }
    return any;
}

TThread::TThread() : ended_(new OsEvent(true)), callRun_(new OsEvent(false)) {}

TThread::~TThread() {
    Terminate();
    WaitFor();
}

bool TThread::Resume() {
    if (thread_) return true;
    // The queue's event is made here at the latest, where its failure can
    // still refuse the thread: later, in a wait, it could not.
    if (!ended_->Valid() || !callRun_->Valid() || !Queue().queued.Valid()) return false;
    auto thread = std::make_unique<NativeThread>();
    if (!thread->Start(&TThread::Body, this)) return false;
    thread_ = std::move(thread);
    return true;
}

void TThread::Body(void* param) {
    auto* self = static_cast<TThread*>(param);
    // A body that lets an exception or a fault escape simply ends.
    Guarded([self] { self->Execute(); });
    // Whoever gave up on this body left the object to it.
    if (self->state_.exchange(kEnded) == kAbandoned) {
        delete self;
        return;
    }
    // The last touch of the object: a waiter may free it from here on, even
    // before this thread has ended (under the loader lock it cannot end).
    self->ended_->Set();
}

bool TThread::WaitFor(int timeoutMs) {
    if (!thread_) return true;
    if (IsMainThread()) {
        SyncQueue& q = Queue();
        // Run the worker's marshalled calls meanwhile, or it could never end.
        MainWait wait(q);
        if (wait.Pending()) CheckSynchronize();
        for (;;) {
            const int signalled = WaitForEither(*ended_, q.queued, timeoutMs);
            if (signalled == 0) break;
            if (signalled < 0) return false;
            CheckSynchronize();
        }
    } else if (!ended_->Wait(timeoutMs)) {
        return false;
    }
    // Under the loader lock the thread's own end waits for that lock: the
    // body has ended, which is all the caller needs; the thread ends later.
    if (!InsideLoaderLock()) thread_->Join();
    thread_.reset();
    return true;
}

bool TThread::Abandon() {
    if (!thread_) return false;
    // The body may end at any moment, and then deletes the object: let go
    // of the thread first.
    thread_.reset();
    if (state_.exchange(kAbandoned) != kEnded) return true;
    // Ended, but perhaps not yet past its last touch of the object.
    ended_->Wait(-1);
    return false;
}

void TThread::Synchronize(const TThreadMethod& method) {
    SyncQueue& q = Queue();
    if (IsMainThread()) {
        method();
        return;
    }
    SyncCall call{this, &method, nullptr, callRun_.get()};
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        q.calls.Append(&call);
        // Setting an event is a system call (a server round trip under Wine)
        // in the way of every notification; only a waiting main thread needs it.
        if (q.mainWaits > 0) q.queued.Set();
    }
    {
        // Fired outside the queue's lock, so the main thread it wakes does not
        // find the queue locked; under the hook's own lock, so once the hook
        // is cleared no call of it is still in progress.
        std::lock_guard<std::mutex> hook(q.hookMutex);
        if (q.wake.Code) q.wake.Code(q.wake.Self);
    }
    // One kernel event, as a bare worker would wait: a condition variable
    // costs a mutex and a semaphore more on every call.
    call.run->Wait(-1);
    if (call.error) std::rethrow_exception(call.error);
}

}  // namespace platform
