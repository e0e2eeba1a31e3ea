// A vendor's driver that answers every call with "nothing", for the install
// check's tests: built with the names decorated, and as an old release.
#include "device/usbid.h"

extern "C" {
std::int32_t OV_STDCALL Tma4drv_DLL_Version(const char*) { return 1; }
std::int32_t OV_STDCALL TV_Initialize() { return 1; }
std::int32_t OV_STDCALL TV_Disable() { return 1; }
std::int32_t OV_STDCALL TV_GetEvent(TDriverEvent*) { return 0; }
}
