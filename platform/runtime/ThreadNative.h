// What the thread class needs of the system: start a body on a thread of its
// own, join or let go of it, and tell threads apart. Used by Thread.cpp only.
#pragma once

#include <memory>

namespace platform {

// An opaque thread identity; 0 is no thread.
using NativeThreadId = unsigned long long;
NativeThreadId CurrentThreadId();

// The thread that marked itself as main. Thread.h's SetMainThread and
// MainThreadEnded are defined beside it, one pair per system.
NativeThreadId MainThreadId();

// One running body. On Windows the thread holds a reference to the module
// its code lives in from before it starts until its very last instruction,
// so unloading the module cannot pull the code away under it.
class NativeThread {
public:
    NativeThread();
    ~NativeThread();  // lets go of a thread not joined
    NativeThread(const NativeThread&) = delete;
    NativeThread& operator=(const NativeThread&) = delete;

    // Starts entry(arg) once; false when the system has no thread to give.
    bool Start(void (*entry)(void*), void* arg);
    // Waits for the thread to end; not on the thread itself.
    void Join();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace platform
