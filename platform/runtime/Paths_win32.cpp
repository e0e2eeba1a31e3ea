#include "platform/runtime/Paths.h"

#include <windows.h>

#include <vector>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/SystemFunctions_win32.h"

namespace platform {

namespace {

std::wstring WideModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::wstring();
        // A full buffer may hold a cut-off path: try again with a larger one.
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return std::wstring();
        path.resize(path.size() * 2);
    }
}

// Prefixed, a full path is taken as it is, any length; only the drive and
// network forms have a prefixed form.
std::wstring WithLongPathPrefix(const std::wstring& full) {
    if (full.compare(0, 4, L"\\\\?\\") == 0 || full.compare(0, 4, L"\\\\.\\") == 0) return full;
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\\\?\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\\\?\\" + full;
    return full;
}

// The file a symbolic link leads to. Systems before Vista have no links to
// files, nor the function that follows them. Asked whatever the attributes
// say: Wine shows a Unix symbolic link without the reparse-point attribute,
// yet follows it here.
std::wstring LinkTarget(const std::wstring& path) {
    const auto finalPath = DynGetFinalPathNameByHandleW();
    const UniqueHandle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    if (!finalPath || !file) return path;
    std::vector<wchar_t> buffer(32768);
    const DWORD n = finalPath(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    return n > 0 && n < buffer.size() ? WithLongPathPrefix(std::wstring(buffer.data(), n)) : path;
}

}  // namespace

std::string ModulePath(void* module) { return Utf8FromWide(WideModulePath(static_cast<HMODULE>(module))); }

std::string ExecutablePath() { return ModulePath(nullptr); }

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesW(FullWidePath(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

std::wstring FullWidePath(const std::string& path) {
    const std::wstring wide = WideFromUtf8(path);
    if (wide.empty()) return wide;
    std::vector<wchar_t> full(32768);
    const DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return std::wstring();
    return WithLongPathPrefix(std::wstring(full.data(), length));
}

std::wstring FinalWidePath(const std::string& path) {
    const std::wstring full = FullWidePath(path);
    return full.empty() ? full : LinkTarget(full);
}

}  // namespace platform
