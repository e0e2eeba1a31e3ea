#include "tools/simdrv/ScenarioLoad.h"

#include <windows.h>

#include "platform/runtime/Handles_win32.h"

namespace simdrv {
namespace {

constexpr DWORD kLargestFile = 16u << 20;

}  // namespace

bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& why) {
    platform::UniqueHandle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        why = "cannot be opened (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.Get(), &size) || size.QuadPart > kLargestFile) {
        why = "is not a file of at most 16 MB";
        return false;
    }
    std::string bytes(static_cast<std::size_t>(size.QuadPart), '\0');
    DWORD read = 0;
    if (!bytes.empty() && (!ReadFile(file.Get(), &bytes[0], static_cast<DWORD>(bytes.size()), &read, nullptr) ||
                           read != bytes.size())) {
        why = "cannot be read (error " + std::to_string(GetLastError()) + ")";
        return false;
    }
    scenario = ParseScenario(bytes);
    return true;
}

std::string ScenarioBesideDriver() {
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&ScenarioBesideDriver), &self);
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(self, path, MAX_PATH);
    if (!length || length >= MAX_PATH) return std::string();
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + "TmA4Drv.scenario";
}

}  // namespace simdrv
