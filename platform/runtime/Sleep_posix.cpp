#include <chrono>
#include <thread>

#include "platform/runtime/Sleep.h"

namespace platform {

void Sleep(int milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

}  // namespace platform
