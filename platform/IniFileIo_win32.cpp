#include "platform/IniFileIo.h"

#include <windows.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <vector>

namespace platform {

namespace {

class TFileHandle {
public:
    explicit TFileHandle(HANDLE h) : h_(h) {}
    ~TFileHandle() { if (Valid()) ::CloseHandle(h_); }
    TFileHandle(const TFileHandle&) = delete;
    TFileHandle& operator=(const TFileHandle&) = delete;
    bool Valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return h_; }
    bool Close() {
        HANDLE h = h_;
        h_ = INVALID_HANDLE_VALUE;
        return ::CloseHandle(h) != FALSE;
    }

private:
    HANDLE h_;
};

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

bool IsWritableOrMissing(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return IsMissing(::GetLastError());
    return (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY)) == 0;
}

// The NT form of a path ("\\??\\C:\\dir\\file"), which a rename by handle
// needs; empty for forms it has no sure translation for.
std::wstring NtPath(const std::string& path) {
    const int n = ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, nullptr, 0);
    if (n <= 0) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, &wide[0], n);
    const DWORD size = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return std::wstring();
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), size, &full[0], nullptr);
    if (length == 0 || length >= size) return std::wstring();
    full.resize(length);
    if (full.compare(0, 4, L"\\\\.\\") == 0) return std::wstring();  // a device
    if (full.compare(0, 4, L"\\\\?\\") == 0) return L"\\??\\" + full.substr(4);
    if (full.compare(0, 2, L"\\\\") == 0) return L"\\??\\UNC\\" + full.substr(2);
    if (full.size() >= 3 && full[1] == L':' && full[2] == L'\\') return L"\\??\\" + full;
    return std::wstring();
}

// Renames the open file over path. By its handle, the rename skips the second
// open MoveFileEx makes, which is near half the cost of a flush under Wine.
// False when the system cannot (before Vista) or the path has no NT form; the
// caller then moves the file by name.
bool RenameOpenFile(HANDLE file, const std::string& path) {
    using SetInformation = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
    const auto set = reinterpret_cast<SetInformation>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "SetFileInformationByHandle")));
    const std::wstring target = NtPath(path);
    if (!set || target.empty()) return false;
    struct RenameInfo {  // FILE_RENAME_INFO, which the XP headers lack
        union {
            BOOLEAN ReplaceIfExists;
            DWORD Flags;
        };
        HANDLE RootDirectory;
        DWORD FileNameLength;
        WCHAR FileName[1];
    };
    const std::size_t bytes = offsetof(RenameInfo, FileName) + (target.size() + 1) * sizeof(WCHAR);
    std::vector<char> buffer(bytes, 0);
    auto* info = reinterpret_cast<RenameInfo*>(buffer.data());
    info->ReplaceIfExists = TRUE;
    info->RootDirectory = nullptr;
    info->FileNameLength = static_cast<DWORD>(target.size() * sizeof(WCHAR));
    std::memcpy(info->FileName, target.c_str(), (target.size() + 1) * sizeof(WCHAR));
    const int FileRenameInfo = 3;
    return set(file, FileRenameInfo, info, static_cast<DWORD>(bytes)) != FALSE;
}

}  // namespace

TFileStamp QueryFileStamp(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return TFileStamp{};
    return StampOf(Join(data.nFileSizeHigh, data.nFileSizeLow), data.ftLastWriteTime, data.ftCreationTime);
}

TReadResult ReadWholeFile(const std::string& path, std::string* bytes, TFileStamp* stamp) {
    // Shared for deletion too, so another writer's replace is never blocked by a read.
    TFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return IsMissing(::GetLastError()) ? TReadResult::Missing : TReadResult::Failed;
    // A directory does not open without FILE_FLAG_BACKUP_SEMANTICS, so this is a file.
    FILETIME created, written;
    LARGE_INTEGER size;
    if (!::GetFileTime(file.Get(), &created, nullptr, &written) || !::GetFileSizeEx(file.Get(), &size)) {
        return TReadResult::Failed;
    }
    std::string data;
    char buffer[65536];
    for (;;) {
        DWORD n = 0;
        if (!::ReadFile(file.Get(), buffer, sizeof buffer, &n, nullptr)) return TReadResult::Failed;
        if (n == 0) break;
        data.append(buffer, n);
    }
    *bytes = std::move(data);
    *stamp = StampOf(static_cast<std::uint64_t>(size.QuadPart), written, created);
    return TReadResult::Read;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, TFileStamp* stamp) {
    if (!IsWritableOrMissing(path)) return false;
    // One name per process: a writer killed half-way leaves at most one behind.
    const std::string temp = path + "." + std::to_string(::GetCurrentProcessId()) + ".tmp";
    TFileHandle file(::CreateFileA(temp.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.Valid()) return false;
    // GetFileTime, not GetFileInformationByHandle: Wine answers the latter with
    // a slow volume query, and this runs once per key written.
    FILETIME created, written;
    bool ok = WriteAll(file.Get(), bytes) && ::GetFileTime(file.Get(), &created, nullptr, &written);
    const bool renamed = ok && RenameOpenFile(file.Get(), path);
    ok = file.Close() && ok;
    ok = ok && (renamed || ::MoveFileExA(temp.c_str(), path.c_str(),
                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH));
    if (!ok) {
        ::DeleteFileA(temp.c_str());
        return false;
    }
    *stamp = StampOf(bytes.size(), written, created);
    return true;
}

bool FileExists(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace platform
