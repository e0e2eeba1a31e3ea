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

// Reserves the room the driver writes its event record into (once), then
// opens the driver; false, with a driver error text, when there was no
// memory for the room. An open clears the driver error text.
bool OpenDriver();
// Always succeeds: the driver's results carry no error text to report.
bool CloseDriver();

// Polls the driver once. On an event, fills `event` and returns true;
// otherwise returns false and leaves `event` as it was. Reader thread only.
bool ReadDriverEvent(TDeviceEvent& event);

// After a poll that faulted: whether the driver wrote past the room given
// for its record. Reader thread only.
bool DriverOverranRecord();
// Sets the driver error text that says so. Host thread only.
void ReportOverrun();

std::string GetDriverErrorText();

// Module shutdown: clears the driver error text and frees the room.
void Finalize();

}  // namespace unitOVDrv
