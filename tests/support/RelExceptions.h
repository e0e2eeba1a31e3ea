// Counts the structured exceptions raised in this process while it exists,
// through a vectored handler that sees each one first and passes it on. A
// test that makes a peer fault can so tell a fault that was contained from
// one that never happened (a compiler may drop a store through a pointer it
// knows to be null).
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <utility>

#include "platform/runtime/UniqueResource.h"

namespace ovtest {

class ExceptionCounter {
public:
    ExceptionCounter();
    ~ExceptionCounter();

    // Exceptions with this code raised on `thread`, or on any other thread.
    int OnThread(DWORD code, DWORD thread) const;
    int OffThread(DWORD code, DWORD thread) const;

private:
    static LONG CALLBACK Handler(EXCEPTION_POINTERS* pointers);

    mutable std::mutex mutex_;
    std::map<std::pair<DWORD, DWORD>, int> counts_;  // (code, thread)
    // Last, so that it goes first: no handler runs on the parts above once
    // they are gone.
    platform::UniqueResource<void*, &RemoveVectoredExceptionHandler> handler_;
};

}  // namespace ovtest
