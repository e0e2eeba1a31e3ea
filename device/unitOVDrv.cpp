#include "device/unitOVDrv.h"

#include <cstring>

#include "device/usbid.h"

namespace unitOVDrv {
namespace {

// The driver asks for a text at open; it must never write to it, so it lives
// in read-only storage.
const char kVersionText[] = "http://voicebox.local/";
static_assert(sizeof(kVersionText) - 1 == 22, "the version call's text is 22 characters");

// Polled by the reader thread alone.
TDriverEvent DriverEventBuffer;

// Nothing in the driver calls we make yields an error text, so it stays empty.
std::string DriverErrorText;

}  // namespace

bool OpenDriver() {
    Tma4drv_DLL_Version(kVersionText);
    TV_Initialize();
    return true;
}

bool CloseDriver() {
    TV_Disable();
    return true;
}

bool ReadDriverEvent(TDeviceEvent& event) {
    if (TV_GetEvent(&DriverEventBuffer) <= 0) return false;
    event.Code = DriverEventBuffer.Code;
    std::memset(event.Text, 0, sizeof event.Text);
    const char* text = DriverEventBuffer.Text;
    const void* nul = std::memchr(text, 0, sizeof DriverEventBuffer.Text);
    size_t length = nul ? static_cast<const char*>(nul) - text : sizeof DriverEventBuffer.Text;
    std::memcpy(event.Text, text, length);
    return true;
}

std::string GetDriverErrorText() { return DriverErrorText; }

void Finalize() { DriverErrorText.clear(); }

}  // namespace unitOVDrv
