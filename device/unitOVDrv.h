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
// memory for the room. An open clears the driver error text. For a 64-bit
// host the driver runs in a 32-bit companion process, started here when
// none runs; false, with the text, when it could not be started or ended
// inside the driver.
bool OpenDriver();
// True in process: the driver's results carry no error text to report. For a
// 64-bit host, false with the text when the companion ended inside the call.
bool CloseDriver();

// Polls the driver once. On an event, fills `event` and returns true;
// otherwise returns false and leaves `event` as it was. Reader thread only.
// A poll the driver faulted in raises, as the fault does in process.
bool ReadDriverEvent(TDeviceEvent& event);

// After a poll that faulted: whether it closed the device, because the
// driver wrote past the room given for its record or its companion process
// ended. Reader thread only.
bool PollClosedDevice();
// Sets the driver error text that says why. Host thread only.
void ReportPollClosedDevice();

// Ends a poll that does not return, where that can be done (the companion
// process that runs it is ended): true when done, and the poll then returns
// at once. Host thread only.
bool EndStuckPoll();

std::string GetDriverErrorText();

// Module shutdown: clears the driver error text and frees the room; ends
// the companion process without waiting for it.
void Finalize();

}  // namespace unitOVDrv
