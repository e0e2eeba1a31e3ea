#include "platform/ini/FileLock.h"

#include <cstdint>
#include <cwchar>

#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/Module_win32.h"
#include "platform/runtime/Paths.h"
#include "platform/runtime/SystemFunctions_win32.h"

namespace platform {

namespace {

// The file's own name, as the folder lists it: an 8.3 short spelling (which
// always holds a '~') becomes the long name. A file not made yet has only the
// name it is spelled with.
std::wstring LongName(const std::wstring& file) {
    const std::size_t slash = file.find_last_of(L"\\/");
    std::wstring name = file.substr(slash + 1);
    WIN32_FIND_DATAW found;
    const UniqueFind find(name.find(L'~') == std::wstring::npos ? INVALID_HANDLE_VALUE
                                                                : ::FindFirstFileW(file.c_str(), &found));
    if (find) name = found.cFileName;
    ::CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));  // as the file system compares names
    return name;
}

// The folder's file index. The system's own call for it asks the volume's
// serial number too, which under Wine is a round trip to its mount manager
// and the larger part of a form's first write; the native call answers the
// index alone. Where it is missing or refuses, the system's call answers.
bool FolderIndex(HANDLE folder, std::uint64_t* index) {
    const auto query = DynNtQueryInformationFile();
    IO_STATUS_BLOCK status{};
    LARGE_INTEGER internal{};
    if (query && query(folder, &status, &internal, sizeof internal, FileInternalInformation) >= 0) {
        *index = static_cast<std::uint64_t>(internal.QuadPart);
        return true;
    }
    BY_HANDLE_FILE_INFORMATION info;
    if (!::GetFileInformationByHandle(folder, &info)) return false;
    *index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}

// The mutex's name: the identity of the file's folder (its file index,
// whatever drive letter, share, short name or link leads to it) and the
// file's name in it. Not the file's own index: a write replaces the file, and
// a new file would get a new lock. A name may not hold a backslash, so the
// file name goes in hashed. Two folders of one index on two volumes, like
// two names that hash alike, only take turns needlessly: a lock shared too
// widely costs a wait, never a key.
std::wstring MutexName(const std::string& path) {
    const std::wstring file = FinalWidePath(path);
    const std::size_t slash = file.find_last_of(L"\\/");
    if (file.empty() || slash == std::wstring::npos) return std::wstring();
    const UniqueHandle folder(::CreateFileW(file.substr(0, slash + 1).c_str(), 0,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    std::uint64_t index = 0;
    if (!folder || !FolderIndex(folder.Get(), &index)) return std::wstring();
    std::uint64_t hash = 1469598103934665603ull;
    for (wchar_t c : LongName(file)) hash = (hash ^ static_cast<std::uint16_t>(c)) * 1099511628211ull;
    wchar_t name[96];
    std::swprintf(name, 96, L"Orvale8.FileLock.%016llx.%016llx", static_cast<unsigned long long>(index),
                  static_cast<unsigned long long>(hash));
    return name;
}

}  // namespace

std::string TFileLock::NameOf(const std::string& path) { return Utf8FromWide(MutexName(path)); }

TFileLock::TFileLock(const TNamed& lock, int timeoutMs) {
    if (lock.name.empty()) return;
    mutex_.Reset(::CreateMutexW(nullptr, FALSE, WideFromUtf8(lock.name).c_str()));
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
