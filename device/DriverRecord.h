// The driver's record read into the reader's event slot: the code, and the
// text up to its first NUL within its 46 bytes; the rest of the slot zero.
#pragma once

#include <cstring>
#include <string>

#include "device/unitOVDrv.h"
#include "device/usbid.h"

namespace unitOVDrv {

inline void FillDeviceEvent(const TDriverEvent& record, TDeviceEvent& event) {
    event.Code = record.Code;
    std::memset(event.Text, 0, sizeof event.Text);
    const void* nul = std::memchr(record.Text, 0, sizeof record.Text);
    const std::size_t length = nul ? static_cast<const char*>(nul) - record.Text : sizeof record.Text;
    std::memcpy(event.Text, record.Text, length);
}

// What the device says when the driver wrote past the room it was given.
inline std::string OverrunText(std::size_t room) {
    return "TmA4Drv.dll faulted in TV_GetEvent: it wrote past the " + std::to_string(room) + " bytes given for its " +
           std::to_string(sizeof(TDriverEvent)) + "-byte event record; the reader was stopped and the device is closed";
}

}  // namespace unitOVDrv
