// Threads through the kernel rather than the C++ library: a body that must
// keep its module loaded while it runs ends with FreeLibraryAndExitThread,
// which the library's threads cannot do, and the loading thread's handle
// tells whether it has ended.
#include <windows.h>

#include <atomic>
#include <memory>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Thread.h"
#include "platform/runtime/ThreadNative.h"

namespace platform {
namespace {

std::atomic<DWORD> g_mainThreadId{0};
// Taken without waiting (the loader lock may be held); kept until the next mark.
UniqueHandle g_mainThread;

// What the new thread needs; handed over through the heap, since the thread
// may outlive the object that started it.
struct StartBlock {
    void (*entry)(void*);
    void* arg;
    HMODULE module;
};

DWORD WINAPI ThreadProc(void* param) {
    const StartBlock start = *static_cast<StartBlock*>(param);
    delete static_cast<StartBlock*>(param);
    start.entry(start.arg);
    // The module may go with this reference: nothing of ours may run after it.
    FreeLibraryAndExitThread(start.module, 0);
}

}  // namespace

struct NativeThread::Impl {
    UniqueHandle handle;
    DWORD id = 0;
};

NativeThreadId CurrentThreadId() { return GetCurrentThreadId(); }

void SetMainThread() {
    HANDLE self = nullptr;
    DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &self, SYNCHRONIZE, FALSE, 0);
    g_mainThread.Reset(self);
    g_mainThreadId = GetCurrentThreadId();
}

NativeThreadId MainThreadId() { return g_mainThreadId; }

bool MainThreadEnded() {
    return g_mainThread && WaitForSingleObject(g_mainThread.Get(), 0) == WAIT_OBJECT_0;
}

NativeThread::NativeThread() : impl_(new Impl) {}

bool NativeThread::Start(void (*entry)(void*), void* arg) {
    HMODULE held = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ThreadProc), &held))
        return false;
    UniqueModule module(held);
    std::unique_ptr<StartBlock> start(new StartBlock{entry, arg, held});
    impl_->handle.Reset(CreateThread(nullptr, 0, &ThreadProc, start.get(), 0, &impl_->id));
    if (!impl_->handle) return false;
    // Both are the thread's now: it frees the block and gives the module back.
    start.release();
    module.Release();
    return true;
}

NativeThread::~NativeThread() = default;

void NativeThread::Join() {
    if (impl_->handle && impl_->id != GetCurrentThreadId()) WaitForSingleObject(impl_->handle.Get(), INFINITE);
    impl_->handle.Reset();
}

}  // namespace platform
