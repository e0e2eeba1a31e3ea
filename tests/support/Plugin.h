// Orvale8.dll loaded the way a host loads it, its device functions typed by
// the host SDK's header.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "include/Orvale8.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"

namespace ovtest {

typedef TDeviceCallback HostCallback;

struct DeviceExports {
    decltype(&::InitCallbackEx) InitCallbackEx = nullptr;
    decltype(&::InitDevice) InitDevice = nullptr;
    decltype(&::CloseDevice) CloseDevice = nullptr;
    decltype(&::OrvaleGetLastError) GetLastError = nullptr;  // exported as GetLastError
    decltype(&::ShowProperties) ShowProperties = nullptr;
};

class Plugin {
public:
    Plugin() = default;
    ~Plugin() { Unload(); }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    // Loads `path` (default: Orvale8.dll beside the test program) and finds
    // the device functions by name; false, with LastError(), when either fails.
    bool Load(const std::string& path = platform::ExecutableDirectory() + "Orvale8.dll");
    void Unload();
    // The module was unloaded without this object (the test freed it itself).
    void Forget() { module_ = nullptr; device_ = DeviceExports{}; }

    HMODULE Module() const { return module_; }
    const DeviceExports& Device() const { return device_; }
    DWORD LoadError() const { return loadError_; }

    FARPROC ByName(const char* name) const;
    FARPROC ByOrdinal(WORD ordinal) const;

private:
    HMODULE module_ = nullptr;
    DeviceExports device_;
    DWORD loadError_ = 0;
};

}  // namespace ovtest
