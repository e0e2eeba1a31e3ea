// The library's entry routine: start-up steps at load; shutdown steps at
// unload, the translator's after the form code's that uses it. Nothing here
// waits for, starts or frees a thread: the loader lock is held.
#include <windows.h>

#include "device/unitOVDrv.h"
#include "platform/runtime/Guard.h"
#include "platform/runtime/Thread.h"
#include "sync/unitDLLSync.h"
#include "ui/frmBase.h"
#include "ui/frmProperty.h"
#include "ui/unitTranslate.h"

namespace {

// Each step on its own guard: a step that fails (out of memory reading a
// huge file, a window the desktop refuses) leaves its module at its defaults
// (Chinese texts, no language file) and the library loaded, rather than an
// exception out of the entry routine, which ends the host inside LoadLibrary.
void Startup() {
    platform::Guarded([] { platform::SetMainThread(); });
    platform::Guarded([] { unitDLLSync::Initialize(); });
    platform::Guarded([] { frmProperty::Initialize(); });
}

void Shutdown() {
    unitOVDrv::Finalize();
    unitDLLSync::Finalize();
    frmBase::Finalize();
    unitTranslate::Finalize();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) Startup();
    // A non-null `reserved` says the process is exiting: the system has ended
    // the other threads wherever they were, the reader perhaps inside the
    // wake hook holding its lock, and takes back every handle and window
    // itself. Shutting down would wait on that lock for ever: do nothing.
    if (reason == DLL_PROCESS_DETACH && !reserved) Shutdown();
    return TRUE;
}
