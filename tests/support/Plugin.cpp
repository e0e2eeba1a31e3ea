#include "tests/support/Plugin.h"

#include "platform/runtime/Paths.h"
#include "tests/support/Proc_win32.h"

namespace ovtest {

bool Plugin::Load(const std::string& path) {
    Unload();
    module_ = LoadLibraryW(platform::WideFromUtf8(path).c_str());
    if (!module_) {
        loadError_ = ::GetLastError();
        return false;
    }
    device_.InitCallbackEx = Proc<decltype(device_.InitCallbackEx)>(module_, "InitCallbackEx");
    device_.InitDevice = Proc<decltype(device_.InitDevice)>(module_, "InitDevice");
    device_.CloseDevice = Proc<decltype(device_.CloseDevice)>(module_, "CloseDevice");
    device_.GetLastError = Proc<decltype(device_.GetLastError)>(module_, "GetLastError");
    device_.ShowProperties = Proc<decltype(device_.ShowProperties)>(module_, "ShowProperties");
    loadError_ = ERROR_PROC_NOT_FOUND;
    return device_.InitCallbackEx && device_.InitDevice && device_.CloseDevice && device_.GetLastError &&
           device_.ShowProperties;
}

void Plugin::Unload() {
    if (module_) FreeLibrary(module_);
    module_ = nullptr;
    device_ = DeviceExports{};
}

FARPROC Plugin::ByName(const char* name) const { return module_ ? GetProcAddress(module_, name) : nullptr; }

FARPROC Plugin::ByOrdinal(WORD ordinal) const {
    return module_ ? GetProcAddress(module_, MAKEINTRESOURCEA(ordinal)) : nullptr;
}

}  // namespace ovtest
