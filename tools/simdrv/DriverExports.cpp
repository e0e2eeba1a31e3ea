// The four functions the plug-in imports: the box decides, the driver acts.
#include "device/usbid.h"
#include "tools/simdrv/DriverSide.h"
#include "tools/simdrv/PollTimes.h"

using namespace simdrv;

extern "C" {

std::int32_t OV_STDCALL Tma4drv_DLL_Version(const char* text) {
    LogEntry call = CallHere(fnVersion);
    ReadVersionText(text, call);
    Ask(call);
    return 1;
}

std::int32_t OV_STDCALL TV_Initialize() {
    Ask(CallHere(fnInitialize));
    return 1;
}

std::int32_t OV_STDCALL TV_Disable() {
    Carry(Ask(CallHere(fnDisable)), nullptr);
    return 1;
}

std::int32_t OV_STDCALL TV_GetEvent(TDriverEvent* event) {
    const std::int64_t entered = PollEntered();
    const std::int32_t result = Carry(Ask(CallHere(fnGetEvent)), event);
    PollReturned(entered, result);
    return result;
}

}  // extern "C"
