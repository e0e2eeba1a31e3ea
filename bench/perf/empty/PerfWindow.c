/* A second start-up floor: one empty export, and at load the platform's part
   of the plug-in's work there, a message-only window of its own class (in a
   process without windows the first costs Wine more than the rest). */
#include <windows.h>

__declspec(dllexport) void PerfWindow(void) {}

/* Loaded for a measurement and never unloaded: the process ends with it. */
BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    WNDCLASSA wc = {0};
    (void)reserved;
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    wc.lpfnWndProc = DefWindowProcA;
    wc.hInstance = instance;
    wc.lpszClassName = "PerfWindowFloor";
    RegisterClassA(&wc);
    CreateWindowExA(0, wc.lpszClassName, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, instance, NULL);
    return TRUE;
}
