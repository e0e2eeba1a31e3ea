// What the process holds, for soak runs: kernel handles, threads, GDI and
// USER objects, committed private memory and heap bytes in use.
//
// Each count comes from the system's own query where it answers, and from a
// count of our own where Wine leaves the query a stub: GetProcessHandleCount
// reports 0 there, GetGuiResources fails with ERROR_CALL_NOT_IMPLEMENTED.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace ovtest {

struct ResourceSample {
    long Handles = -1;
    long Threads = -1;
    long GdiObjects = -1;
    long UserObjects = -1;
    std::uint64_t PrivateBytes = 0;  // committed private pages
    std::uint64_t HeapBytes = 0;     // busy blocks of every process heap
    std::uint64_t PagefileUsage = 0; // GetProcessMemoryInfo, for the record only
    long EventHandles = -1;  // of the handles, those to events
    std::vector<std::uintptr_t> HandleValues;  // to name the handles a run gained
};

// Where each count came from, for the report: "system" or the fallback's name.
struct MeterSources {
    std::string Handles, GdiObjects, UserObjects;
};

ResourceSample SampleResources();
MeterSources SourcesOfMeters();

// The values of this process's open kernel handles, and the kind of object
// one refers to ("Event", "Thread", ...), for telling which handles a run left.
std::vector<std::uintptr_t> OpenHandleValues();
std::string HandleKind(std::uintptr_t value);

// "handles 41, threads 3, ..." for messages and the report.
std::string Describe(const ResourceSample& sample);

// The counts (handles, threads, GDI, USER) of `now` that differ from `base`,
// empty when none do.
std::string CountDifferences(const ResourceSample& base, const ResourceSample& now);

}  // namespace ovtest
