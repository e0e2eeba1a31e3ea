#include "platform/ini/FileLock.h"

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>

#include "platform/runtime/Paths.h"

namespace platform {

std::string TFileLock::NameOf(const std::string& path) {
    const std::string folder = DirectoryOf(path).empty() ? "./" : DirectoryOf(path);
    struct stat st;
    return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? folder : std::string();
}

// The directory, not the file: the file is replaced by a new one at every
// write, and a lock on the old one would not stop the next writer. The
// directory is opened by its name, so every spelling of it that leads to it
// (a link) locks the same one.
TFileLock::TFileLock(const TNamed& lock, int timeoutMs)
    : directory_(::open(lock.name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (!directory_) return;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        if (::flock(directory_.Get(), LOCK_EX | LOCK_NB) == 0) {
            held_ = true;
            return;
        }
        if (errno != EWOULDBLOCK && errno != EINTR) return;
        if (std::chrono::steady_clock::now() >= deadline) return;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

TFileLock::~TFileLock() {
    if (held_) ::flock(directory_.Get(), LOCK_UN);
}

}  // namespace platform
