#include "platform/Thread.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>

#include "platform/OsEvent.h"

namespace platform {
namespace {

// One marshalled call; lives on the waiting worker's stack.
struct SyncCall {
    const TThreadMethod* method;
    std::exception_ptr error;
    bool done = false;
};

// The queue between workers and the main thread, with the wake hook.
struct SyncQueue {
    std::mutex mutex;
    std::condition_variable done;  // a worker's call has run
    std::deque<SyncCall*> calls;
    TNotifyEvent wake;
    OsEvent queued{false};  // lets the main thread's waits notice a call
    std::thread::id mainThread;
};

SyncQueue& Queue() {
    static SyncQueue queue;
    return queue;
}

}  // namespace

void SetMainThread() {
    std::lock_guard<std::mutex> lock(Queue().mutex);
    Queue().mainThread = std::this_thread::get_id();
}

bool IsMainThread() {
    std::lock_guard<std::mutex> lock(Queue().mutex);
    return Queue().mainThread == std::this_thread::get_id();
}

void SetWakeMainThread(TNotifyEvent hook) {
    std::lock_guard<std::mutex> lock(Queue().mutex);
    Queue().wake = hook;
}

TNotifyEvent GetWakeMainThread() {
    std::lock_guard<std::mutex> lock(Queue().mutex);
    return Queue().wake;
}

bool CheckSynchronize(int timeoutMs) {
    SyncQueue& q = Queue();
    if (timeoutMs > 0) q.queued.Wait(timeoutMs);
    std::deque<SyncCall*> calls;
    {
        std::lock_guard<std::mutex> lock(q.mutex);
        calls.swap(q.calls);
    }
    for (SyncCall* call : calls) {
        try {
            (*call->method)();
        } catch (...) {
            call->error = std::current_exception();
        }
        std::lock_guard<std::mutex> lock(q.mutex);
        call->done = true;
        q.done.notify_all();
    }
    return !calls.empty();
}

TThread::TThread() : ended_(new OsEvent(true)) {}

TThread::~TThread() {
    Terminate();
    WaitFor();
}

void TThread::Resume() {
    if (!thread_.joinable()) thread_ = std::thread(&TThread::Body, this);
}

bool TThread::Finished() const { return ended_->IsSet(); }

void TThread::Body(TThread* self) {
    try {
        self->Execute();
    } catch (...) {
        // A body that lets an exception escape simply ends, as it would have.
    }
    self->ended_->Set();
}

void TThread::WaitFor() {
    if (!thread_.joinable()) return;
    if (IsMainThread()) {
        SyncQueue& q = Queue();
        // Run the worker's marshalled calls meanwhile, or it could never end.
        while (WaitForEither(*ended_, q.queued) == 1) CheckSynchronize();
    }
    thread_.join();
}

void TThread::Synchronize(const TThreadMethod& method) {
    SyncQueue& q = Queue();
    if (IsMainThread()) {
        method();
        return;
    }
    SyncCall call{&method, nullptr};
    std::unique_lock<std::mutex> lock(q.mutex);
    q.calls.push_back(&call);
    q.queued.Set();
    // Fired under the lock, so once the hook is cleared no call of it is
    // still in progress; the hook must only post, never block.
    if (q.wake.Code) q.wake.Code(q.wake.Self, this);
    q.done.wait(lock, [&] { return call.done; });
    if (call.error) std::rethrow_exception(call.error);
}

}  // namespace platform
