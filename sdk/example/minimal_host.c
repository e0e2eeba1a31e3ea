/*
 * A complete minimal host: registers a callback, opens the voice box, pumps
 * messages for a while (rings arrive from this loop), then closes the box.
 * Build, in the kit's folder (from Linux: i686-w64-mingw32-gcc):
 *   gcc -Wall -o minimal_host.exe example/minimal_host.c -I include -L lib -lOrvale8
 * or for x64 (from Linux: x86_64-w64-mingw32-gcc), with the x64 folder's
 * import library:
 *   gcc -Wall -o minimal_host.exe example/minimal_host.c -I include -L x64/lib -lOrvale8
 * Usage: minimal_host [seconds]   (default 10)
 * Without the box: the kit's simbox/TmA4Drv.dll and simbox/TmA4Drv.scenario
 * beside the program ring it with the demo's callers.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>

#include "Orvale8.h"

static DWORD hostThread;

static void __stdcall OnDeviceEvent(OV_DATA data, const char *text, const char *event)
{
    /* The text is code page 936; a real host shows it in its own window,
     * which it may touch here: the call comes on the thread that made it. */
    printf("[%d] %s: %s%s\n", (int)data, event, text,
           GetCurrentThreadId() == hostThread ? "" : " (not on the host's thread)");
    fflush(stdout);
}

int main(int argc, char **argv)
{
    int seconds = argc > 1 ? atoi(argv[1]) : 10;
    DWORD end;
    MSG msg;

    hostThread = GetCurrentThreadId();
    InitCallbackEx(42, OnDeviceEvent);
    if (InitDevice() != OV_TRUE) {
        printf("InitDevice failed: %s\n", OrvaleGetLastError());
        return 1;
    }

    /* The host's message loop: the plug-in delivers its callbacks from here. */
    end = GetTickCount() + (DWORD)seconds * 1000;
    while ((LONG)(end - GetTickCount()) > 0) {
        MsgWaitForMultipleObjects(0, NULL, FALSE, end - GetTickCount(), QS_ALLINPUT);
        while (PeekMessageA(&msg, NULL, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }

    if (CloseDevice() != OV_TRUE) {
        printf("CloseDevice failed: %s\n", OrvaleGetLastError());
        return 1;
    }
    printf("closed; last error text: \"%s\"\n", OrvaleGetLastError());
    return 0;
}
