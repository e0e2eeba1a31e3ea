#include "device/unitOVDrv.h"

#include "device/DriverRecord.h"
#include "device/EventRoom.h"
#include "device/usbid.h"

namespace unitOVDrv {
namespace {

// Reserved by the host thread before the first reader starts; polled by the
// reader thread alone.
EventRoom g_room;

// The driver's calls yield no error text; only our own layer's failures set
// one: the room could not be had, or the driver wrote past it. Host thread.
std::string g_driverErrorText;

}  // namespace

bool OpenDriver() {
    if (!g_room.Reserve()) {
        g_driverErrorText = "no memory for TmA4Drv.dll's event record (out of memory); the device stays closed";
        return false;
    }
    g_driverErrorText.clear();
    Tma4drv_DLL_Version(kVersionText);
    TV_Initialize();
    return true;
}

bool CloseDriver() {
    TV_Disable();
    return true;
}

bool ReadDriverEvent(TDeviceEvent& event) {
    TDriverEvent* record = g_room.Record();
    if (!record || TV_GetEvent(record) <= 0) return false;
    FillDeviceEvent(*record, event);
    return true;
}

bool PollClosedDevice() { return g_room.TakeOverrun(); }

bool EndStuckPoll() { return false; }

void ReportPollClosedDevice() {
    g_driverErrorText = OverrunText(g_room.Size());
}

std::string GetDriverErrorText() { return g_driverErrorText; }

void Finalize() {
    g_driverErrorText.clear();
    g_room.Release();
}

}  // namespace unitOVDrv
