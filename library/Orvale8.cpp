// The library's entry routine: the modules' start-up steps in order when a
// process loads it, their shutdown steps in reverse when it is unloaded.
// Nothing here waits for, starts or frees a thread: the loader lock is held.
#include <windows.h>

#include "device/unitOVDrv.h"
#include "platform/Thread.h"
#include "sync/unitDLLSync.h"
#include "ui/frmBase.h"
#include "ui/frmProperty.h"
#include "ui/unitTranslate.h"

namespace {

void Startup() {
    platform::SetMainThread();
    unitDLLSync::Initialize();
    frmProperty::Initialize();
}

void Shutdown() {
    unitOVDrv::Finalize();
    unitDLLSync::Finalize();
    frmBase::Finalize();
    unitTranslate::Finalize();
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) Startup();
    if (reason == DLL_PROCESS_DETACH) Shutdown();
    return TRUE;
}
