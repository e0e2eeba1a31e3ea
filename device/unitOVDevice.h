// The library's device exports (declared for the host in include/Orvale8.h)
// and the reader thread that relays the box's ring events to the host's
// callback on the host's own thread.
#pragma once

#include "include/Orvale8.h"

namespace unitOVDevice {

// Whether a reader runs, which is what "the device is open" means.
bool IsOpen();

// How many InitDevice and CloseDevice calls have acted on the device so far:
// whoever pauses the device reopens it only when nobody else did either.
unsigned OpenCloseCount();

// Whether the host may make the export call `name` here and now: on the
// loading thread, while it lives, and, for a call that waits for the reader,
// not inside a callback the reader waits for. Otherwise false, with the
// last-error text saying which rule the call broke.
bool AdmitHostCall(const char* name, bool waitsForReader);

}  // namespace unitOVDevice
