/* A host's own DLL, built as a Delphi DLL is: it opens the device through an
   export of its own and closes it in its entry routine when it is unloaded
   (a unit's finalization), with the loader lock held, or at process exit. */
#include <windows.h>

#include "Orvale8.h"

typedef struct {
    OV_BOOL32 Result;
    LARGE_INTEGER Returned; /* QueryPerformanceCounter after CloseDevice */
} WrapperClose;

static WrapperClose* g_close = NULL;

__declspec(dllexport) OV_BOOL32 WrapperOpen(TDeviceCallback callback, WrapperClose* close) {
    g_close = close;
    InitCallbackEx(0, callback);
    return InitDevice();
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_DETACH && g_close) {
        g_close->Result = CloseDevice();
        QueryPerformanceCounter(&g_close->Returned);
    }
    return TRUE;
}
