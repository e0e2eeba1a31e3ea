// Orvale8.dll loaded the way a host loads it, its exports found by name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "include/Orvale8.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"
#include "tools/host/PluginExports.h"

namespace ovtest {

typedef TDeviceCallback HostCallback;

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
    void Forget() { module_ = nullptr; device_ = PluginFunctions{}; }

    HMODULE Module() const { return module_; }
    const PluginFunctions& Device() const { return device_; }
    DWORD LoadError() const { return loadError_; }

    FARPROC ByName(const char* name) const;
    FARPROC ByOrdinal(WORD ordinal) const;

private:
    HMODULE module_ = nullptr;
    PluginFunctions device_;
    DWORD loadError_ = 0;
};

}  // namespace ovtest
