/* A second start-up floor: one empty export, and at load the platform's part
   of the work the plug-in must do there, a message-only window of its own
   class. In a process without windows the first one costs Wine far more
   than the rest of a DLL's start-up. */
#include <windows.h>

static const char kClass[] = "PerfWindowFloor";
static HWND window;

__declspec(dllexport) void PerfWindow(void) {}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        WNDCLASSA wc = {0};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = instance;
        wc.lpszClassName = kClass;
        RegisterClassA(&wc);
        window = CreateWindowExA(0, kClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, instance, NULL);
    } else if (reason == DLL_PROCESS_DETACH) {
        if (window) DestroyWindow(window);
        UnregisterClassA(kClass, instance);
    }
    return TRUE;
}
