#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/runtime/OsEvent.h"

namespace platform {
namespace {

// One lock and one condition for every event keeps "wait for either" simple.
std::mutex& Lock() {
    static std::mutex m;
    return m;
}
std::condition_variable& Changed() {
    static std::condition_variable c;
    return c;
}

}  // namespace

struct OsEvent::Impl {
    bool manualReset;
    bool set = false;
};

OsEvent::OsEvent(bool manualReset) : impl_(new Impl{manualReset}) {}

OsEvent::~OsEvent() = default;

bool OsEvent::Valid() const { return true; }

void OsEvent::Set() {
    std::lock_guard<std::mutex> lock(Lock());
    impl_->set = true;
    Changed().notify_all();
}

bool OsEvent::Wait(int timeoutMs) { return WaitForEither(*this, *this, timeoutMs) == 0; }

int WaitForEither(OsEvent& first, OsEvent& second, int timeoutMs) {
    std::unique_lock<std::mutex> lock(Lock());
    const auto either = [&] { return first.impl_->set || second.impl_->set; };
    if (timeoutMs < 0)
        Changed().wait(lock, either);
    else if (!Changed().wait_for(lock, std::chrono::milliseconds(timeoutMs), either))
        return -1;
    OsEvent& hit = first.impl_->set ? first : second;
    if (!hit.impl_->manualReset) hit.impl_->set = false;
    return &hit == &first ? 0 : 1;
}

}  // namespace platform
