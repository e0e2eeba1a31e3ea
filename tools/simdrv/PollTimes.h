// Each poll's entry time in the simulated driver, published for the
// benchmark in a named shared memory when the environment names one: taken
// where the driver runs, in the 64-bit plug-in's companion as in a 32-bit
// host, so that a ring's latency counts the whole way from the driver to the
// host's callback on either, and nothing else.
#pragma once

#include <cstddef>
#include <cstdint>

namespace simdrv {

// The environment variable naming the shared memory; a child process (the
// companion) inherits it.
constexpr char kPollTimesVariable[] = "OV_SIMDRV_POLL_TIMES";

// One layout for 32- and 64-bit processes.
struct PolledAt {
    std::int64_t Time;  // QueryPerformanceCounter at TV_GetEvent's entry
    std::int32_t Result;
    std::int32_t Reserved;
};
struct PollTimes {
    std::int32_t Capacity;  // entries in Polls, set by whoever creates the memory
    std::int32_t Count;     // entries written, by the driver; polls beyond Capacity are not kept
    PolledAt Polls[1];
};
constexpr std::size_t PollTimesBytes(std::int32_t capacity) {
    return offsetof(PollTimes, Polls) + static_cast<std::size_t>(capacity) * sizeof(PolledAt);
}

// TV_GetEvent's: the time at its entry, and its result when it returns.
std::int64_t PollEntered();
void PollReturned(std::int64_t entered, std::int32_t result);

}  // namespace simdrv
