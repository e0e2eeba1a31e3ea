// The adapter over the vendor's driver: open, close, poll one event, and the
// driver error text behind the last-error text and the "ue_error" relay.
#pragma once

#include <cstdint>
#include <string>

// The reader's event slot.
#pragma pack(push, 1)
struct TDeviceEvent {
    std::int32_t Code;
    char Text[255];  // NUL-terminated
};
#pragma pack(pop)
static_assert(sizeof(TDeviceEvent) == 259, "code and 255 text bytes");

namespace unitOVDrv {

// Both always succeed: the driver's results carry no error text to report.
bool OpenDriver();
bool CloseDriver();

// Polls the driver once. On an event, fills `event` and returns true;
// otherwise returns false and leaves `event` as it was. Reader thread only.
bool ReadDriverEvent(TDeviceEvent& event);

std::string GetDriverErrorText();

// Module shutdown: clears the driver error text.
void Finalize();

}  // namespace unitOVDrv
