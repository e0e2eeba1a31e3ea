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
TDriverEvent g_driverEvent;

// Nothing in the driver calls we make yields an error text, so it stays empty.
std::string g_driverErrorText;

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
    if (TV_GetEvent(&g_driverEvent) <= 0) return false;
    event.Code = g_driverEvent.Code;
    std::memset(event.Text, 0, sizeof event.Text);
    const char* text = g_driverEvent.Text;
    const void* nul = std::memchr(text, 0, sizeof g_driverEvent.Text);
    size_t length = nul ? static_cast<const char*>(nul) - text : sizeof g_driverEvent.Text;
    std::memcpy(event.Text, text, length);
    return true;
}

std::string GetDriverErrorText() { return g_driverErrorText; }

void Finalize() { g_driverErrorText.clear(); }

}  // namespace unitOVDrv
