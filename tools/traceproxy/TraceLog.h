// The proxy's log, TmA4Drv.trace.log beside it: one line per driver call with
// its time, thread, arguments, result and, for a poll, the returned record.
#pragma once

#include <string>

namespace traceproxy {

void AppendLine(const std::string& line);

// The record's bytes in hex, and its text field as printable characters.
std::string DescribeRecord(const void* record, int size);

}  // namespace traceproxy
