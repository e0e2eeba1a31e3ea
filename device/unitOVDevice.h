// The library's device exports (declared for the host in include/Orvale8.h)
// and the reader thread that relays the box's ring events to the host's
// callback on the host's own thread.
#pragma once

#include "include/Orvale8.h"

namespace unitOVDevice {

// Whether a reader runs, which is what "the device is open" means.
bool IsOpen();

}  // namespace unitOVDevice
