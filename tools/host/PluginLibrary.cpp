#include "tools/host/PluginLibrary.h"

#include "platform/runtime/Paths.h"

// UTF-8, like every path of the bench: the ANSI code page cannot spell
// every folder.
PluginLibrary::PluginLibrary(const char* fileName) : path_(platform::ExecutableDirectory() + fileName) {
    module_.Reset(LoadLibraryW(platform::WideFromUtf8(path_).c_str()));
    if (!module_) loadError_ = ::GetLastError();
}

std::string PluginLibrary::LoadFailure() const {
    const std::string text = "cannot load " + path_ + " (error " + std::to_string(loadError_) + ")";
    if (!platform::FileExists(path_)) return text + ": the file is not there";
    if (loadError_ != ERROR_MOD_NOT_FOUND) return text;
    // The loader says only that some module is missing; the one the plug-in
    // imports beyond the system's is the voice box driver, found first in
    // the program's own folder.
    if (!platform::FileExists(platform::DirectoryOf(path_) + "TmA4Drv.dll"))
        return text + ": TmA4Drv.dll, the voice box driver it needs, is not beside it; copy the vendor's driver "
                      "there, or the kit's simbox\\TmA4Drv.dll to try it without the box";
    return text + ": a DLL it needs is missing";
}
