// Elsewhere the driver is the tests' own: a plain page, without a guard.
#include "device/EventRoom.h"

#include <cstdlib>

namespace unitOVDrv {
namespace {

constexpr std::size_t kRoom = 4096;

}  // namespace

bool EventRoom::Reserve() {
    if (!start_) start_ = std::calloc(1, kRoom);
    size_ = start_ ? kRoom : 0;
    return start_ != nullptr;
}

TDriverEvent* EventRoom::Record() const { return static_cast<TDriverEvent*>(start_); }

void EventRoom::Release() {
    std::free(start_);
    start_ = nullptr;
    size_ = 0;
}

bool EventRoom::TakeOverrun() { return false; }

}  // namespace unitOVDrv
