// What the system's loader is doing to the calling thread. A host may call
// us from its own DLL's entry routine (a Delphi DLL's finalization closes
// the device there), where the loader lock is held: no thread can then
// start or end, so nothing may wait for one to.
#pragma once

namespace platform {

// The calling thread holds the loader lock. Elsewhere than Windows: never.
bool InsideLoaderLock();
// The process is ending: the system has already ended every other thread,
// wherever it was, and takes back what they held. Elsewhere: never.
bool ProcessExiting();

}  // namespace platform
