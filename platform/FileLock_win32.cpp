#include "platform/FileLock.h"

#include <cstdint>
#include <cstdio>

#include "platform/HostPath.h"

namespace platform {

namespace {

// The mutex's name: a hash of the full path, upper-cased as the file system
// compares names, since a name may not hold a backslash and is limited in
// length. Two paths that hash alike only take turns needlessly.
std::wstring MutexName(const std::string& path) {
    std::wstring full = FullWidePath(path);
    if (full.empty()) return full;
    ::CharUpperBuffW(&full[0], static_cast<DWORD>(full.size()));
    std::uint64_t hash = 1469598103934665603ull;
    for (wchar_t c : full) hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
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
