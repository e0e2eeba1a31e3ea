#include "platform/IniFileIo.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

class TFd {
public:
    explicit TFd(int fd) : fd_(fd) {}
    ~TFd() { if (fd_ >= 0) ::close(fd_); }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return fd_; }
    bool Close() {
        int fd = fd_;
        fd_ = -1;
        return ::close(fd) == 0;
    }

private:
    int fd_;
};

TFileStamp StampOf(const struct stat& st) {
    TFileStamp s;
    s.exists = true;
    s.size = static_cast<std::uint64_t>(st.st_size);
    s.modified = static_cast<std::uint64_t>(st.st_mtim.tv_sec) * 1000000000u +
                 static_cast<std::uint64_t>(st.st_mtim.tv_nsec);
    s.identity = static_cast<std::uint64_t>(st.st_ino) ^ (static_cast<std::uint64_t>(st.st_dev) << 40);
    return s;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// rename() would replace a file without write permission; the profile API's
// callers expect such a file to stay as it is.
bool IsWritableOrMissing(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return errno == ENOENT;
    if (!S_ISREG(st.st_mode)) return false;
    return (st.st_mode & 0222) != 0 && ::access(path.c_str(), W_OK) == 0;
}

}  // namespace

TFileStamp QueryFileStamp(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return TFileStamp{};
    return StampOf(st);
}

TReadResult ReadWholeFile(const std::string& path, std::string* bytes, TFileStamp* stamp) {
    TFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.Get() < 0) return errno == ENOENT ? TReadResult::Missing : TReadResult::Failed;
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return TReadResult::Failed;
    std::string data;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return TReadResult::Failed;
        if (n == 0) break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    *bytes = std::move(data);
    *stamp = StampOf(st);
    return TReadResult::Read;
}

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, TFileStamp* stamp) {
    if (!IsWritableOrMissing(path)) return false;
    // One name per process: a writer killed half-way leaves at most one behind.
    const std::string temp = path + "." + std::to_string(::getpid()) + ".tmp";
    TFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (fd.Get() < 0) return false;
    struct stat st;
    bool ok = WriteAll(fd.Get(), bytes) && ::fstat(fd.Get(), &st) == 0;
    ok = fd.Close() && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    *stamp = StampOf(st);
    return true;
}

bool FileExists(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace platform
