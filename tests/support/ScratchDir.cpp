#include "tests/support/ScratchDir.h"

#include "platform/runtime/File.h"
#include "platform/runtime/Paths.h"
#include "tests/support/ChildProcess.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include "platform/runtime/Handles_win32.h"
#else
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace ovtest {

namespace {

long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(::GetCurrentProcessId());
#else
    return static_cast<long>(::getpid());
#endif
}

#ifdef _WIN32
// Deletes the folder and everything in it, read-only files too.
void RemoveTree(const std::wstring& widePath) {
    WIN32_FIND_DATAW found;
    if (const platform::UniqueFind find{::FindFirstFileW((widePath + L"\\*").c_str(), &found)}) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = widePath + L"\\" + name;
            ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                ::DeleteFileW(path.c_str());
        } while (::FindNextFileW(find.Get(), &found));
    }
    ::RemoveDirectoryW(widePath.c_str());
}
#endif

}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<int> serial{0};
    const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path dir = fs::temp_directory_path() /
                       ("ov-" + std::to_string(ProcessId()) + "-" + std::to_string(serial++) + "-" +
                        std::to_string(now % 1000000));
        std::error_code ec;
        if (fs::create_directory(dir, ec)) {
            path_ = dir.string() + static_cast<char>(fs::path::preferred_separator);
            return;
        }
    }
    throw std::runtime_error("cannot create a scratch directory");
}

#ifdef _WIN32
// Through the wide API: a test may leave paths longer than 260 characters.
ScratchDir::~ScratchDir() {
    std::wstring path = platform::FullWidePath(path_);
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    RemoveTree(path);
}
#else
ScratchDir::~ScratchDir() {
    std::error_code ec;
    for (const auto& entry : fs::recursive_directory_iterator(path_, ec)) {
        fs::permissions(entry.path(), fs::perms::owner_write, fs::perm_options::add, ec);
    }
    fs::remove_all(path_, ec);
}
#endif

std::vector<std::string> ScratchDir::Entries() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool ScratchDir::CopyFromBin(const std::string& fileName, const std::string& as) const {
    return CopyFileBytes(platform::ExecutableDirectory() + fileName, File(as.empty() ? fileName : as));
}

std::string ReadBytes(const std::string& path) {
    std::string bytes;
    return platform::ReadWholeFile(path, &bytes) == platform::TReadResult::Read ? bytes : "<missing>";
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    platform::TOutFile file;
    const bool written = file.Create(path) && file.WriteFull(bytes);
    if (!file.Close() || !written) throw std::runtime_error("cannot write " + path);
}

#ifdef _WIN32
bool MakeDirectories(const std::string& path) {
    const std::wstring wide = platform::FullWidePath(path);
    // Past the prefix and the drive ("\\?\C:\"), each separator ends a folder.
    for (std::size_t at = wide.find(L'\\', 7); at != std::wstring::npos; at = wide.find(L'\\', at + 1))
        ::CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryW(wide.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

#else
bool MakeDirectories(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}
#endif

void SetReadOnly(const std::string& path, bool readOnly) {
    const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(path, write, readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

}  // namespace ovtest
