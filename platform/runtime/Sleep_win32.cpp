#include <windows.h>

#include "platform/runtime/Sleep.h"

namespace platform {

void Sleep(int milliseconds) { ::Sleep(static_cast<DWORD>(milliseconds)); }

}  // namespace platform
