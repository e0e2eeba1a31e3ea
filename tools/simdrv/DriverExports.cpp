// The four functions the plug-in imports, answered by the simulated box.
#include "device/usbid.h"
#include "tools/simdrv/PollTimes.h"
#include "tools/simdrv/SimBox.h"

using simdrv::SimBox;

extern "C" {

std::int32_t OV_STDCALL Tma4drv_DLL_Version(const char* text) {
    SimBox::Instance().Version(text);
    return 1;
}

std::int32_t OV_STDCALL TV_Initialize() {
    SimBox::Instance().Initialize();
    return 1;
}

std::int32_t OV_STDCALL TV_Disable() {
    SimBox::Instance().Disable();
    return 1;
}

std::int32_t OV_STDCALL TV_GetEvent(TDriverEvent* event) {
    const std::int64_t entered = simdrv::PollEntered();
    const std::int32_t result = SimBox::Instance().Poll(event);
    simdrv::PollReturned(entered, result);
    return result;
}

}  // extern "C"
