// The plug-in as a host sees it: a module loaded from the host's directory
// and its device functions found by name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "include/Orvale8.h"
#include "platform/runtime/Handles_win32.h"

struct DeviceFunctions {
    decltype(&::InitCallbackEx) InitCallbackEx = nullptr;
    decltype(&::InitDevice) InitDevice = nullptr;
    decltype(&::CloseDevice) CloseDevice = nullptr;
    decltype(&::OrvaleGetLastError) GetLastError = nullptr;  // exported as GetLastError
};

class PluginLibrary {
public:
    // Loads `fileName` from the directory of the running executable.
    explicit PluginLibrary(const char* fileName);

    bool Loaded() const { return module_.Valid(); }
    DWORD LoadError() const { return loadError_; }
    const std::string& Path() const { return path_; }
    // Why the load failed, in words, with the file to put in place.
    std::string LoadFailure() const;

    // Fills `functions`; on a missing export returns false and names it.
    bool Resolve(DeviceFunctions& functions, std::string& missing) const;

private:
    std::string path_;
    platform::UniqueModule module_;
    DWORD loadError_ = 0;
};

