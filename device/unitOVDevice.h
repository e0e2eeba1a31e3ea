// The library's device exports and the reader thread that relays the box's
// ring events to the host's callback on the host's own thread.
#pragma once

#include <cstdint>

#include "platform/Stdcall.h"

// The host's callback: data value, event text, event name ("ue_ring" or
// "ue_error"); both texts are valid only during the call.
typedef void(OV_STDCALL* TDeviceCallback)(std::int32_t data, const char* text, const char* event);

extern "C" {
std::int32_t OV_STDCALL InitCallbackEx(std::int32_t data, TDeviceCallback callback);
std::int32_t OV_STDCALL InitDevice();
std::int32_t OV_STDCALL CloseDevice();
// Exported as GetLastError; named apart from the system function it shadows.
const char* OV_STDCALL OV_GetLastError();
}

namespace unitOVDevice {

// Whether a reader runs, which is what "the device is open" means.
bool IsOpen();

}  // namespace unitOVDevice
