#include "tools/traceproxy/TraceLog.h"

#include <windows.h>

#include <cstdio>
#include <mutex>

#include "platform/runtime/File.h"
#include "tools/traceproxy/VendorDriver.h"

namespace traceproxy {

void AppendLine(const std::string& line) {
    static std::mutex mutex;
    SYSTEMTIME now;
    GetLocalTime(&now);
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%04u-%02u-%02u %02u:%02u:%02u.%03u tid=%lu ", now.wYear, now.wMonth,
                  now.wDay, now.wHour, now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentThreadId());
    std::string text = stamp + line + "\r\n";
    std::lock_guard<std::mutex> lock(mutex);
    // Opened for each line, so the log is complete whenever the host dies.
    platform::TOutFile file;
    if (file.Append(ProxyFolder() + "TmA4Drv.trace.log")) file.WriteFull(text);
}

std::string DescribeRecord(const void* record, int size) {
    const auto* bytes = static_cast<const unsigned char*>(record);
    std::string hex;
    char two[3];
    for (int i = 0; i < size; ++i) {
        std::snprintf(two, sizeof two, "%02x", bytes[i]);
        hex += two;
    }
    return hex;
}

}  // namespace traceproxy
