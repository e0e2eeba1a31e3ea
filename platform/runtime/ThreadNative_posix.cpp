#include <atomic>
#include <thread>

#include "platform/runtime/Thread.h"
#include "platform/runtime/ThreadNative.h"

namespace platform {
namespace {

std::atomic<NativeThreadId> g_mainThreadId{0};

}  // namespace

struct NativeThread::Impl {
    std::thread thread;
};

NativeThreadId CurrentThreadId() {
    // Numbered on first use, from 1: never 0, never reused.
    static std::atomic<NativeThreadId> next{0};
    thread_local const NativeThreadId id = ++next;
    return id;
}

void SetMainThread() { g_mainThreadId = CurrentThreadId(); }
NativeThreadId MainThreadId() { return g_mainThreadId; }
bool MainThreadEnded() { return false; }

NativeThread::NativeThread() : impl_(new Impl) {}

// The native build serves the tests; its library's threads report a thread
// the system refused with an exception instead.
bool NativeThread::Start(void (*entry)(void*), void* arg) {
    impl_->thread = std::thread(entry, arg);
    return true;
}

NativeThread::~NativeThread() {
    if (impl_->thread.joinable()) impl_->thread.detach();
}

void NativeThread::Join() {
    if (impl_->thread.joinable() && impl_->thread.get_id() != std::this_thread::get_id()) impl_->thread.join();
}

}  // namespace platform
