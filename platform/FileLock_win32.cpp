#include "platform/FileLock.h"

#include <cstdint>
#include <cstdio>
#include <vector>

namespace platform {

namespace {

// The mutex's name: a hash of the full path, upper-cased as the file system
// compares names, since a name may not hold a backslash and is limited in
// length. Two paths that hash alike only take turns needlessly.
std::wstring MutexName(const std::string& path) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::vector<wchar_t> wide(static_cast<std::size_t>(n));
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide.data(), n);
    std::vector<wchar_t> resolved(32768);
    const DWORD length = ::GetFullPathNameW(wide.data(), 32768, resolved.data(), nullptr);
    if (length == 0 || length >= 32768) return std::wstring();
    ::CharUpperBuffW(resolved.data(), length);
    std::uint64_t hash = 1469598103934665603ull;
    for (DWORD i = 0; i < length; ++i) {
        hash = (hash ^ static_cast<std::uint16_t>(resolved[i])) * 1099511628211ull;
    }
    wchar_t name[64];
    std::swprintf(name, 64, L"Orvale8.FileLock.%016llx", static_cast<unsigned long long>(hash));
    return name;
}

}  // namespace

TFileLock::TFileLock(const std::string& path, int timeoutMs) {
    const std::wstring name = MutexName(path);
    if (name.empty()) return;
    mutex_.Reset(::CreateMutexW(nullptr, FALSE, name.c_str()));
    if (!mutex_) return;
    // Abandoned: its holder died between its re-read and its replace, and
    // the replace is atomic, so the file is whole and the lock is ours.
    const DWORD r = ::WaitForSingleObject(mutex_.Get(), static_cast<DWORD>(timeoutMs));
    held_ = r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

TFileLock::~TFileLock() {
    if (held_) ::ReleaseMutex(mutex_.Get());
}

}  // namespace platform
