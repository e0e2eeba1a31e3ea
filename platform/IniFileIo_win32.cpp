#include "platform/IniFileIo.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <vector>

#include "platform/Handles_win32.h"

namespace platform {

namespace {

using UniqueFind = UniqueResource<HANDLE, &FindClose, -1>;

// Two seconds, in file-time units: the coarsest file time in use (FAT) and a
// margin for a clock that file systems read lazily.
const std::uint64_t kSettleTicks = 20000000u;

std::uint64_t Join(DWORD high, DWORD low) {
    return (static_cast<std::uint64_t>(high) << 32) | low;
}

std::uint64_t Join(const FILETIME& t) { return Join(t.dwHighDateTime, t.dwLowDateTime); }

TFileStamp StampOf(std::uint64_t size, const FILETIME& written, const FILETIME& created) {
    TFileStamp s;
    s.exists = true;
    s.size = size;
    s.modified = Join(written);
    s.identity = Join(created);
    return s;
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

bool WriteAll(HANDLE h, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        DWORD written = 0;
        if (!::WriteFile(h, bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

bool CloseChecked(UniqueHandle& h) { return ::CloseHandle(h.Release()) != FALSE; }

std::wstring Wide(const std::string& path) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return wide;
}

// The file a symbolic link leads to, so that the link stays a link.
std::wstring Target(const std::wstring& path, DWORD attributes) {
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) return path;
    using FinalPath = DWORD(WINAPI*)(HANDLE, LPWSTR, DWORD, DWORD);
    const auto finalPath = reinterpret_cast<FinalPath>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "GetFinalPathNameByHandleW")));
    const UniqueHandle file(::CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                          nullptr, OPEN_EXISTING, 0, nullptr));
    if (!finalPath || !file) return path;
    std::vector<wchar_t> buffer(32768);
    const DWORD n = finalPath(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), 0);
    return n > 0 && n < buffer.size() ? std::wstring(buffer.data(), n) : path;
}

TFileStamp StampOfWide(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return TFileStamp{};
    return StampOf(Join(data.nFileSizeHigh, data.nFileSizeLow), data.ftLastWriteTime, data.ftCreationTime);
}

// Not kill-safe: used only where no file can be made beside the target.
bool WriteInPlace(const std::wstring& path, const std::string& bytes) {
    UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    bool ok = WriteAll(file.Get(), bytes) && ::SetEndOfFile(file.Get());
    return CloseChecked(file) && ok;
}

std::wstring TemporaryName(const std::wstring& target, DWORD pid) {
    return target + L"." + std::to_wstring(pid) + L".tmp";
}

// Writes the temporary file with the attributes the file has (hidden, system,
// archive), so that the replace keeps them even where the system's replace
// does not carry them over. False, with nothing left, on any failure;
// denied then tells a folder that allows no new file.
bool WriteTemporary(const std::wstring& temp, const std::string& bytes, DWORD attributes, bool* denied) {
    const DWORD kept = attributes == INVALID_FILE_ATTRIBUTES
                           ? FILE_ATTRIBUTE_NORMAL
                           : attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE |
                                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED);
    UniqueHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    kept ? kept : FILE_ATTRIBUTE_NORMAL, nullptr));
    *denied = !file && ::GetLastError() == ERROR_ACCESS_DENIED;
    if (!file) return false;
    bool ok = WriteAll(file.Get(), bytes);
    ok = CloseChecked(file) && ok;
    if (!ok) ::DeleteFileW(temp.c_str());
    return ok;
}

}  // namespace

TFileStamp QueryFileStamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return TFileStamp{};
    return StampOf(Join(data.nFileSizeHigh, data.nFileSizeLow), data.ftLastWriteTime, data.ftCreationTime);
}

bool StampIsSettled(const TFileStamp& stamp) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    return stamp.modified + kSettleTicks < Join(now);
}

TReadResult ReadFileBlocks(const std::string& path,
                           const std::function<bool(const char*, std::size_t)>& sink) {
    const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return IsMissing(::GetLastError()) ? TReadResult::Missing : TReadResult::Failed;
    std::vector<char> buffer(65536);
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &n, nullptr)) {
            return TReadResult::Failed;
        }
        if (n == 0 || sink(buffer.data(), n)) return TReadResult::Read;
    }
}

TReadResult ReadWholeFile(const std::string& path, std::string* bytes, TFileStamp* stamp) {
    // Shared for deletion too, so another writer's replace is never blocked by a read.
    const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return IsMissing(::GetLastError()) ? TReadResult::Missing : TReadResult::Failed;
    // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS, so this is a file.
    FILETIME created, written;
    LARGE_INTEGER size;
    if (!::GetFileTime(file.Get(), &created, nullptr, &written) || !::GetFileSizeEx(file.Get(), &size) ||
        size.QuadPart > 0x7FFFFFFF) {
        return TReadResult::Failed;
    }
    // Sized once: growing by doubling would hold up to three times the file.
    std::string data(static_cast<std::size_t>(size.QuadPart), '\0');
    std::size_t done = 0;
    for (;;) {
        if (done == data.size()) data.resize(data.size() + 65536);
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(data.size() - done, 1u << 24));
        DWORD n = 0;
        if (!::ReadFile(file.Get(), &data[done], chunk, &n, nullptr)) return TReadResult::Failed;
        if (n == 0) break;
        done += n;
    }
    data.resize(done);
    *bytes = std::move(data);
    *stamp = StampOf(done, written, created);
    return TReadResult::Read;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, TFileStamp* stamp) {
    const std::wstring named = Wide(path);
    if (named.empty()) return false;
    const std::wstring target = Target(named, ::GetFileAttributesW(named.c_str()));
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (!existed && !IsMissing(::GetLastError())) return false;
    if (attributes != INVALID_FILE_ATTRIBUTES &&
        (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY))) {
        return false;
    }
    // One name per process: a writer killed half-way leaves at most one behind.
    const std::wstring temp = TemporaryName(target, ::GetCurrentProcessId());
    bool ok, denied = false;
    if (!WriteTemporary(temp, bytes, attributes, &denied)) {
        // A folder where no new file may be made (a protected program folder)
        // still lets a writable file take its keys.
        ok = existed && denied && WriteInPlace(target, bytes);
    } else if (existed) {
        // ReplaceFileW keeps the file's ACL, attributes and creation time.
        ok = ::ReplaceFileW(target.c_str(), temp.c_str(), nullptr, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                            nullptr) != FALSE;
        if (!ok) ::DeleteFileW(temp.c_str());
    } else {
        ok = ::MoveFileExW(temp.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
        if (!ok) ::DeleteFileW(temp.c_str());
    }
    if (ok) *stamp = StampOfWide(target);
    return ok;
}

void RemoveStaleTemporaries(const std::string& path) {
    const std::wstring named = Wide(path);
    if (named.empty()) return;
    const std::wstring target = Target(named, ::GetFileAttributesW(named.c_str()));
    const std::size_t slash = target.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? std::wstring() : target.substr(0, slash + 1);
    const std::wstring prefix = target.substr(slash == std::wstring::npos ? 0 : slash + 1) + L".";
    WIN32_FIND_DATAW found;
    const UniqueFind find(::FindFirstFileW((target + L".*.tmp").c_str(), &found));
    if (!find) return;
    do {
        const std::wstring name = found.cFileName;
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) continue;
        wchar_t* end = nullptr;
        const unsigned long pid = std::wcstoul(name.c_str() + prefix.size(), &end, 10);
        if (pid == 0 || std::wstring(end) != L".tmp") continue;
        const UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, pid));
        const bool gone = process ? ::WaitForSingleObject(process.Get(), 0) == WAIT_OBJECT_0
                                  : ::GetLastError() == ERROR_INVALID_PARAMETER;
        if (gone) ::DeleteFileW((folder + name).c_str());
    } while (::FindNextFileW(find.Get(), &found));
}

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace platform
