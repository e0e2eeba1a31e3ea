// An in-process stand-in for the vendor's driver, for the native tests of the
// adapter and the reader: scripted poll results and a log of calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "device/usbid.h"

namespace fakedriver {

struct Call {
    std::string function;  // "version", "initialize", "disable", "poll"
    std::string text;      // the version call's text
};

void Reset();
// Queues a poll that stores `record` and returns `result`.
void QueueRecord(const TDriverEvent& record, std::int32_t result = 1);
// Queues a ring-style event: code and text bytes copied into the 46-byte field.
void QueueEvent(std::int32_t code, const std::string& text);
// Makes the next poll throw, as a driver fault surfaces in the portable build.
void ThrowOnNextPoll();
std::vector<Call> Calls();
int CountOf(const std::string& function);

}  // namespace fakedriver
