// The simulated voice box's control exports. Tests and the host bench find
// them with GetProcAddress on the TmA4Drv.dll module the plug-in has loaded;
// a real driver lacks them, which is how a tool tells the two apart. Only
// the driver defines them: the declarations give the others the types they
// cast to (decltype(&SimDrv_Reset)), and the driver's definitions must match.
#pragma once

#include <cstdint>

#include "include/Orvale8.h"  // OV_STDCALL

namespace simdrv {

// The driver function a log entry records.
enum Function : std::int32_t { fnVersion = 1, fnInitialize = 2, fnDisable = 3, fnGetEvent = 4 };

// How a poll behaves once it has been logged.
enum BlockMode : std::int32_t {
    bmOff = 0,           // returns at once
    bmUntilRelease = 1,  // waits for SimDrv_ReleasePolls
    bmUntilDisable = 2,  // waits for the next TV_Disable (or a release)
    bmDisablesToo = 3,   // polls and TV_Disable calls wait for a release
};

// The size of the text field of a driver record.
constexpr int kEventTextSize = 46;

struct LogEntry {
    std::int32_t Function;      // a Function value
    std::uint32_t ThreadId;     // the calling thread
    std::int64_t Time;          // QueryPerformanceCounter on entry
    std::int32_t Result;        // what the call returned; 0 for a poll that faulted
    std::int32_t Faulted;       // 1: the call raised an access violation
    // The version call's text: its length up to the NUL (-1 for a null
    // address, 256 when no NUL within 256 bytes), whether its memory is
    // writable, and its first 63 bytes.
    std::int32_t TextLength;
    std::int32_t TextWritable;
    char Text[64];
};

// What SimDrv_PlayScenario made of a scenario file.
struct ScenarioInfo {
    std::int32_t Events;        // events it will play; -1: the file was not read
    std::int32_t Problems;      // malformed lines, skipped
    std::int32_t FromTrace;     // 1: a log of the tracing driver
    std::int32_t RepeatMs;      // 0: played once
    std::int64_t LastEventMs;   // the last event's time from the start
    char Encoding[40];          // as an editor names it; NUL-terminated
    // One line per problem, "line N: what is wrong\n" (every problem the
    // reader keeps, printable ASCII), or why the file was not read;
    // NUL-terminated.
    char Report[20000];
};

}  // namespace simdrv

extern "C" {
// Forgets the queue, the log, pending faults and the scenario; releases
// blocked polls and turns blocking off.
void OV_STDCALL SimDrv_Reset();
// Queues an event with result 1: `length` bytes of `text` (at most 46, any
// bytes, no NUL needed), the rest of the field zero.
void OV_STDCALL SimDrv_QueueEvent(std::int32_t code, const char* text, std::int32_t length);
// Queues a whole 56-byte record, copied as given into the caller's buffer,
// and the result the poll returns with it (any value, 0 and negatives too).
void OV_STDCALL SimDrv_QueueRecord(const void* record, std::int32_t result);
std::int32_t OV_STDCALL SimDrv_PendingEvents();
// The next `count` polls raise an access violation instead of returning.
void OV_STDCALL SimDrv_FaultPolls(std::int32_t count);
// The next `count` polls end the driver's process by a fault on a thread of
// the driver's own, which no guard around the call can catch: for a driver
// kept out of the test's process.
void OV_STDCALL SimDrv_CrashPolls(std::int32_t count);
void OV_STDCALL SimDrv_BlockPolls(std::int32_t mode);
void OV_STDCALL SimDrv_ReleasePolls();
// How many polls wait at this moment.
std::int32_t OV_STDCALL SimDrv_BlockedPolls();
std::int32_t OV_STDCALL SimDrv_LogCount();
// Copies entry `index` to *entry; 0 when there is no such entry.
std::int32_t OV_STDCALL SimDrv_LogEntry(std::int32_t index, simdrv::LogEntry* entry);
// The next `count` TV_Disable calls raise an access violation once logged,
// before they wake polls waiting for a disable.
void OV_STDCALL SimDrv_FaultDisables(std::int32_t count);
// Polls that store an event write `size` bytes (56 and up) as a newer driver
// with a larger record would: the record, then filler bytes 0xEE.
void OV_STDCALL SimDrv_RecordSize(std::int32_t size);
// Plays the scenario file at `path` (UTF-8; see tools/simdrv/ScenarioFile.h) from
// the next TV_Initialize, at once when the box is already enabled, instead
// of any scenario before; fills *info when given. Without a call the box
// plays TmA4Drv.scenario beside it, when there is one. Returns info->Events.
std::int32_t OV_STDCALL SimDrv_PlayScenario(const char* path, simdrv::ScenarioInfo* info);
}
