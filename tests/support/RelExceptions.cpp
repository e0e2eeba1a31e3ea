#include "tests/support/RelExceptions.h"

#include <atomic>

namespace ovtest {

namespace {

// The handler has no argument of its own: the one live counter.
std::atomic<ExceptionCounter*> current{nullptr};

}  // namespace

ExceptionCounter::ExceptionCounter() {
    current = this;
    handler_.Reset(AddVectoredExceptionHandler(1, &Handler));
}

ExceptionCounter::~ExceptionCounter() { current = nullptr; }

LONG CALLBACK ExceptionCounter::Handler(EXCEPTION_POINTERS* pointers) {
    if (ExceptionCounter* self = current) {
        std::lock_guard<std::mutex> lock(self->mutex_);
        ++self->counts_[{pointers->ExceptionRecord->ExceptionCode, GetCurrentThreadId()}];
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

int ExceptionCounter::OnThread(DWORD code, DWORD thread) const {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = counts_.find({code, thread});
    return found == counts_.end() ? 0 : found->second;
}

int ExceptionCounter::OffThread(DWORD code, DWORD thread) const {
    std::lock_guard<std::mutex> lock(mutex_);
    int n = 0;
    for (const auto& entry : counts_)
        if (entry.first.first == code && entry.first.second != thread) n += entry.second;
    return n;
}

}  // namespace ovtest
