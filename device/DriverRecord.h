// What both driver adapters (in process, and through the x64 companion)
// share: the version call's text, and the record read into the reader's slot.
#pragma once

#include <cstring>
#include <string>

#include "device/unitOVDrv.h"
#include "device/usbid.h"

namespace unitOVDrv {

// The driver asks for a text at open; it must never write to it, so it lives
// in read-only storage (in the companion, in a page kept read-only).
inline constexpr char kVersionText[] = "http://voicebox.local/";
static_assert(sizeof(kVersionText) - 1 == 22, "the version call's text is 22 characters");

// The driver's record into the event slot: the code, and the text up to its
// first NUL within its 46 bytes; the rest of the slot zero.
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
