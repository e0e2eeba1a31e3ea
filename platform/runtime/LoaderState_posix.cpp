#include "platform/runtime/LoaderState.h"

namespace platform {

bool InsideLoaderLock() { return false; }
bool ProcessExiting() { return false; }

}  // namespace platform
