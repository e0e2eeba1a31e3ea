/*
 * Orvale8.h - the host's interface to Orvale8.dll, the voice box plug-in.
 * For C and C++ hosts on 32-bit and on 64-bit (x64) Windows. Link with an
 * import library from the kit's lib folder (x64\lib for a 64-bit host):
 * libOrvale8.a for MinGW (-L lib -lOrvale8), or Orvale8.lib for Microsoft's
 * linker (and LLVM's lld-link); or load the DLL and resolve the names
 * yourself.
 *
 * Only the 64-bit (x64) plug-in: the callback's data value, OV_DATA, is 64
 * bits there (pointer-sized, as INT_PTR), 32 bits (an int) in a 32-bit host;
 * and it runs the 32-bit driver in its companion program, Orvale8Drv32.exe,
 * which must lie beside it: InitDevice fails, naming it, when it cannot
 * start, and a driver crash closes the device instead of ending the host
 * (docs/host-guide.md, "64-bit hosts"). Everything else is the same in both.
 *
 * The host's obligations (docs/host-guide.md has a table of every function in
 * every state):
 *  - Call every function on the thread that loaded the DLL (the host thread).
 *    InitDevice, CloseDevice and ShowProperties called on another thread, or
 *    once that thread has ended, return OV_FALSE at once with a last-error
 *    text naming the rule; InitCallbackEx and OrvaleGetLastError work there.
 *  - Keep that thread's window messages flowing: callbacks are delivered from
 *    its message loop (any GetMessage/DispatchMessage loop, a modal dialog's
 *    included). While it does not pump, the box is not polled.
 *  - Call CloseDevice before unloading the DLL. Without it the DLL stays
 *    loaded, the device open, until the process ends: the reader holds the
 *    module. Loading it again and calling CloseDevice ends that.
 *  - From inside a callback, call only InitCallbackEx, InitDevice and
 *    OrvaleGetLastError. CloseDevice, and ShowProperties while the device is
 *    open, would wait for the reader that is waiting for the callback to
 *    return: they return OV_FALSE at once, with a last-error text quoting
 *    this rule. (Callbacks delivered while CloseDevice itself waits are the
 *    exception: every function works there.)
 *
 * Texts are NUL-terminated 8-bit strings in the system's ANSI code page, for
 * which the box is made: code page 936 (GB2312). The DLL never converts them.
 */
#ifndef ORVALE8_H
#define ORVALE8_H

#ifdef __cplusplus
extern "C" {
#endif

/* Every function and the callback use the Windows standard calling
 * convention. (x64 Windows, like other systems, has only one convention, and
 * its compilers take __stdcall to mean it; the plug-in's portable core is
 * tested natively.) */
#ifndef OV_STDCALL
#if defined(_WIN32)
#define OV_STDCALL __stdcall
#else
#define OV_STDCALL
#endif
#endif

/* A 32-bit boolean result: all bits set for true, 0 for false. */
typedef int OV_BOOL32;
#define OV_TRUE ((OV_BOOL32)-1)
#define OV_FALSE ((OV_BOOL32)0)

/* The callback's data value, handed back unchanged: an int in a 32-bit
 * host, pointer-sized in a 64-bit one, so it can carry a pointer or a handle
 * there too. (INT_PTR, without needing windows.h.) */
#if defined(_WIN64)
#if defined(_MSC_VER)
typedef __int64 OV_DATA;
#else
typedef long long OV_DATA;
#endif
#else
typedef int OV_DATA;
#endif

/* The event names a callback receives. */
#define OV_EVENT_RING "ue_ring"   /* Text: the caller text the box delivered */
#define OV_EVENT_ERROR "ue_error" /* Text: the driver's error text */

/*
 * The host's callback, always called on the host thread. Data is the value
 * given to InitCallbackEx; Text and Event are valid only during the call.
 * A fault or exception raised in it is discarded and the device goes on.
 * The host's floating-point settings are put back after it, nothing left
 * pending or on the x87 stack, whether it faulted or returned.
 */
typedef void(OV_STDCALL *TDeviceCallback)(OV_DATA Data, const char *Text, const char *Event);

/*
 * Registers the callback and its data value, replacing any earlier pair;
 * NULL turns notifications off (events are then dropped, not kept).
 * May be called before or after InitDevice, and from a callback. OV_TRUE.
 * Also works on another thread: the pair takes effect whole from the next
 * callback, which always gets the data value registered with it.
 */
OV_BOOL32 OV_STDCALL InitCallbackEx(OV_DATA Data, TDeviceCallback Callback);

/*
 * Opens the voice box and starts polling it every 200 ms. Calling it again
 * opens the driver again but never starts a second reader.
 * OV_FALSE on failure, with the reason behind OrvaleGetLastError; among
 * them: a poll that CloseDevice gave up on has not returned yet.
 * A poll in which the driver writes past the room given for its event record
 * (a page) closes the device: an OV_EVENT_ERROR callback, and a last-error
 * text, say "TmA4Drv.dll faulted in TV_GetEvent".
 */
OV_BOOL32 OV_STDCALL InitDevice(void);

/*
 * How long CloseDevice waits at most for a poll of the driver to return, in
 * milliseconds, counted again after each callback delivered meanwhile.
 */
#define OV_CLOSE_WAIT_MS 2000

/*
 * Disables the box and stops the reader, waiting for it to end (up to one
 * poll interval plus one poll and one callback). A ring read by the last poll
 * is still delivered, from inside this call. Once it has returned OV_TRUE
 * the driver is not called again. The reader is stopped whatever the
 * driver does; OV_FALSE, with a text naming TmA4Drv.dll, when TV_Disable
 * faulted, or when a poll did not return within OV_CLOSE_WAIT_MS: that poll
 * is left behind, and never calls back or polls again. The device is closed
 * in both cases. It may be called from the host's own DLL's DllMain on
 * DLL_PROCESS_DETACH (a Delphi DLL's finalization): unloading, it returns
 * once the reader has stopped, within the same bound, and the reader's
 * thread ends after DllMain has returned; at process exit it waits for
 * nothing, since the system has already ended the reader.
 */
OV_BOOL32 OV_STDCALL CloseDevice(void);

/*
 * The last error text, at a fixed address; empty unless InitDevice or
 * CloseDevice failed, or a driver fault in a poll closed the device. The
 * DLL exports it as "GetLastError"; it is declared here under another name
 * so as not to clash with the system function (the import library maps it).
 */
const char *OV_STDCALL OrvaleGetLastError(void);

/*
 * Shows the modal property dialog centred over ParentWindow (any value; an
 * invalid handle centres it on the desktop), kept within a monitor's work
 * area (a minimised parent, or one off every screen). An open device is
 * closed while the dialog is shown and opened again before the call returns,
 * unless the host opened or closed it while the dialog was up. When the
 * device cannot be closed, no dialog: OV_FALSE, with CloseDevice's text.
 * OV_TRUE when the dialog ended with OK.
 */
OV_BOOL32 OV_STDCALL ShowProperties(void *ParentWindow);

#ifdef __cplusplus
}
#endif

#endif /* ORVALE8_H */
