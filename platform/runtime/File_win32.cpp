#include "platform/runtime/File.h"

#include <algorithm>

#include "platform/runtime/Paths.h"

namespace platform {

// The most one ReadFile or WriteFile is asked for: a call far larger can fail
// for want of system resources, on network drives above all.
const std::size_t kLargestCall = 1u << 20;

// Shared for deletion too, so that another writer's replace is never blocked
// by a read. A directory does not open without FILE_FLAG_BACKUP_SEMANTICS, so
// what opens is a file.
TReadResult TInFile::Open(const std::string& path) {
    file_.Reset(::CreateFileW(FullWidePath(path).c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file_) return TReadResult::Read;
    const DWORD error = ::GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? TReadResult::Missing
                                                                          : TReadResult::Failed;
}

bool TInFile::Read(char* data, std::size_t size, std::size_t* got) {
    DWORD n = 0;
    const bool ok = ::ReadFile(file_.Get(), data, static_cast<DWORD>(std::min(size, kLargestCall)), &n, nullptr);
    *got = ok ? n : 0;
    return ok;
}

std::uint64_t TInFile::Size() const {
    LARGE_INTEGER size;
    return ::GetFileSizeEx(file_.Get(), &size) ? static_cast<std::uint64_t>(size.QuadPart) : 0;
}

// Opened, then cut: CREATE_ALWAYS refuses to write over a hidden file.
bool TOutFile::Create(const std::string& path) {
    file_.Reset(::CreateFileW(FullWidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_ && ::SetEndOfFile(file_.Get());
}

bool TOutFile::Append(const std::string& path) {
    file_.Reset(::CreateFileW(FullWidePath(path).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    return file_.Valid();
}

bool TOutFile::WriteFull(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min(bytes.size() - done, kLargestCall));
        if (!::WriteFile(file_.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0) return false;
        done += written;
    }
    return true;
}

bool TOutFile::Close() { return file_ && ::CloseHandle(file_.Release()) != FALSE; }

}  // namespace platform
