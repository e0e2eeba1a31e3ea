#include "tests/support/ScratchDir.h"

#include "tests/support/ChildProcess.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifdef _WIN32
#include <windows.h>

#include "tests/support/WidePath_win32.h"
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
    std::wstring path = WidePath(path_);
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
    return CopyFileBytes(ProgramDirectory() + fileName, File(as.empty() ? fileName : as));
}

std::string ReadBytes(const std::string& path) {
#ifdef _WIN32
    // Shared for deletion too: a reader must not make a writer's replace fail.
    const HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return "<missing>";
    std::string bytes;
    char buffer[65536];
    DWORD n = 0;
    while (::ReadFile(file, buffer, sizeof buffer, &n, nullptr) && n) bytes.append(buffer, n);
    ::CloseHandle(file);
    return bytes;
#else
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
#endif
}

#ifdef _WIN32
bool MakeDirectories(const std::string& path) {
    const std::wstring wide = WidePath(path);
    // Past the prefix and the drive ("\\?\C:\"), each separator ends a folder.
    for (std::size_t at = wide.find(L'\\', 7); at != std::wstring::npos; at = wide.find(L'\\', at + 1))
        ::CreateDirectoryW(wide.substr(0, at).c_str(), nullptr);
    ::CreateDirectoryW(wide.c_str(), nullptr);
    const DWORD attributes = ::GetFileAttributesW(wide.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    // Opened, then cut to its new end: a hidden file refuses to be created
    // over.
    const HANDLE file = ::CreateFileW(WidePath(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                      nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    const bool ok = file != INVALID_HANDLE_VALUE &&
                    (bytes.empty() || ::WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written,
                                                  nullptr)) &&
                    written == bytes.size() && ::SetEndOfFile(file);
    if (file != INVALID_HANDLE_VALUE) ::CloseHandle(file);
    if (!ok) throw std::runtime_error("cannot write " + path);
}
#else
bool MakeDirectories(const std::string& path) {
    std::error_code ec;
    fs::create_directories(path, ec);
    return fs::is_directory(path, ec);
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}
#endif

void SetReadOnly(const std::string& path, bool readOnly) {
    const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    fs::permissions(path, write, readOnly ? fs::perm_options::remove : fs::perm_options::add);
}

}  // namespace ovtest
