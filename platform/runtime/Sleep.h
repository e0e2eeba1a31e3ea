// The platform's pause. On Windows the kernel's Sleep: the C++ library's
// sleep_for waits on an event there, which costs a server round trip under Wine.
#pragma once

namespace platform {

void Sleep(int milliseconds);

}  // namespace platform
