// The plug-in as a host sees it: a module loaded from the host's directory
// and its device functions found by name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/runtime/Handles_win32.h"
#include "tools/host/PluginExports.h"

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
    bool Resolve(PluginFunctions& functions, std::string& missing) const {
        return FindPluginFunctions(module_.Get(), functions, missing);
    }

private:
    std::string path_;
    platform::UniqueModule module_;
    DWORD loadError_ = 0;
};

