#include "platform/HostPath.h"

#include <windows.h>

#include <vector>

namespace platform {

namespace {

std::string ExecutablePath() {
    std::string path(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = ::GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        // A full buffer may hold a cut-off path: try again with a larger one.
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        if (path.size() >= 32768) return std::string();
        path.resize(path.size() * 2);
    }
}

}  // namespace

std::string ExecutableDirectory() {
    const std::string path = ExecutablePath();
    // The path is in the ANSI code page, whose double-byte characters may end
    // in a byte that looks like a backslash.
    std::size_t end = 0;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (::IsDBCSLeadByte(static_cast<BYTE>(path[i])) && i + 1 < path.size()) {
            ++i;
        } else if (path[i] == '\\' || path[i] == '/') {
            end = i + 1;
        }
    }
    return path.substr(0, end);
}

std::wstring FullWidePath(const std::string& path) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
    std::vector<wchar_t> full(32768);
    const DWORD length = ::GetFullPathNameW(wide.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0 || length >= full.size()) return std::wstring();
    return std::wstring(full.data(), length);
}

}  // namespace platform
