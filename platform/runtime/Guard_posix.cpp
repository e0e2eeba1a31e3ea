#include "platform/runtime/Guard.h"

namespace platform {

bool GuardedCall(void (*fn)(void*), void* arg) noexcept {
    try {
        fn(arg);
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace platform
