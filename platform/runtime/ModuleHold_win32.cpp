#include <windows.h>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/ModuleHold.h"

namespace platform {
namespace {

// Ample for the host thread to return out of the plug-in's code.
constexpr DWORD kReleaseDelayMs = 100;

DWORD WINAPI ReleaseLater(void* module) {
    Sleep(kReleaseDelayMs);
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

}  // namespace

void ModuleHold::Take() {
    if (module_) return;
    HMODULE module = nullptr;
    if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&ReleaseLater), &module))
        module_ = module;
}

ModuleHold::~ModuleHold() {
    if (!module_) return;
    const auto module = static_cast<HMODULE>(module_);
    if (othersHoldIt_) {
        FreeLibrary(module);
        return;
    }
    // Without a thread the reference stays: loaded for good beats unloaded
    // under a running call.
    const UniqueHandle thread(CreateThread(nullptr, 0, &ReleaseLater, module, 0, nullptr));
}

}  // namespace platform
