// The memory a poll hands the driver for its event record: a page, far more
// than the 56 bytes the record is declared to have, so a driver whose record
// grew in a newer version cannot overwrite the plug-in's own state. On
// Windows a guard page follows the room: a write past it faults inside the
// driver's call, and the guard page, touched, tells that fault from the
// driver's other faults.
#pragma once

#include <cstddef>

#include "device/usbid.h"

namespace unitOVDrv {

class EventRoom {
public:
    EventRoom() = default;
    ~EventRoom() { Release(); }
    EventRoom(const EventRoom&) = delete;
    EventRoom& operator=(const EventRoom&) = delete;

    // Reserves the room once; false when the system has no memory for it.
    bool Reserve();
    void Release();
    // The record at the room's start; null before a Reserve succeeded. Not
    // inline, so a crash report's offset in the poll names the poll's line.
    TDriverEvent* Record() const;
    std::size_t Size() const { return size_; }
    // Whether anything touched the guard page since the last call, which
    // arms it again.
    bool TakeOverrun();

private:
    void* start_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace unitOVDrv
