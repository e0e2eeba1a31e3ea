#include "platform/ini/IniFileIo.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/runtime/Handles_posix.h"

namespace platform {

namespace {

// Two seconds: the coarsest file time in use (FAT) and a margin for a clock
// that file systems read lazily.
const std::uint64_t kSettleNs = 2000000000u;

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

// The file a symbolic link leads to, so that the link stays a link.
std::string Target(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) return path;
    std::string target(real);
    std::free(real);
    return target;
}

bool CloseChecked(UniqueFd& fd) { return ::close(fd.Release()) == 0; }

// Not kill-safe: used only where no file can be made beside the target.
bool WriteInPlace(const std::string& path, const std::string& bytes, TFileStamp* stamp) {
    UniqueFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    struct stat st;
    bool ok = fd && WriteAll(fd.Get(), bytes) &&
              ::ftruncate(fd.Get(), static_cast<off_t>(bytes.size())) == 0 && ::fstat(fd.Get(), &st) == 0;
    ok = fd && CloseChecked(fd) && ok;
    if (ok) *stamp = StampOf(st);
    return ok;
}

// Opened for reading when it is a regular file; st receives its status.
UniqueFd OpenToRead(const std::string& path, struct stat* st, TReadResult* failure) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd) {
        *failure = errno == ENOENT ? TReadResult::Missing : TReadResult::Failed;
    } else if (::fstat(fd.Get(), st) != 0 || !S_ISREG(st->st_mode)) {
        *failure = TReadResult::Failed;
        fd.Reset();
    }
    return fd;
}

std::string TemporaryName(const std::string& path, long pid) {
    return path + "." + std::to_string(pid) + ".tmp";
}

}  // namespace

TFileStamp QueryFileStamp(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return TFileStamp{};
    return StampOf(st);
}

bool StampIsSettled(const TFileStamp& stamp) {
    struct timespec now;
    ::clock_gettime(CLOCK_REALTIME, &now);
    const std::uint64_t ns = static_cast<std::uint64_t>(now.tv_sec) * 1000000000u +
                             static_cast<std::uint64_t>(now.tv_nsec);
    return stamp.modified + kSettleNs < ns;
}

TReadResult ReadFileBlocks(const std::string& path,
                           const std::function<bool(const char*, std::size_t)>& sink) {
    struct stat st;
    TReadResult failure = TReadResult::Failed;
    const UniqueFd fd = OpenToRead(path, &st, &failure);
    if (!fd) return failure;
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.Get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return TReadResult::Failed;
        if (n == 0 || sink(buffer, static_cast<std::size_t>(n))) return TReadResult::Read;
    }
}

TReadResult ReadWholeFile(const std::string& path, std::string* bytes, TFileStamp* stamp) {
    struct stat st;
    TReadResult failure = TReadResult::Failed;
    const UniqueFd fd = OpenToRead(path, &st, &failure);
    if (!fd) return failure;
    // Sized once, with a byte to spare so that the end shows without growing
    // the buffer: growing it would briefly hold the file three times over.
    std::string data(static_cast<std::size_t>(st.st_size) + 1, '\0');
    std::size_t done = 0;
    for (;;) {
        if (done == data.size()) data.resize(data.size() + 65536);
        ssize_t n = ::read(fd.Get(), &data[done], data.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return TReadResult::Failed;
        if (n == 0) break;
        done += static_cast<std::size_t>(n);
    }
    data.resize(done);
    *bytes = std::move(data);
    *stamp = StampOf(st);
    stamp->size = done;
    return TReadResult::Read;
}

// Nothing to remember: the permissions come with the stat the replace makes
// anyway.
struct TReplaceMemo::TState {};
TReplaceMemo::TReplaceMemo() = default;
TReplaceMemo::~TReplaceMemo() = default;
void TReplaceMemo::Forget() { state.reset(); }

bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, TFileStamp* stamp, TReplaceMemo*) {
    const std::string target = Target(path);
    struct stat old;
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (!IsWritableOrMissing(target)) return false;
    // One name per process: a writer killed half-way leaves at most one behind.
    const std::string temp = TemporaryName(target, ::getpid());
    UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) return existed && (errno == EACCES || errno == EROFS) && WriteInPlace(target, bytes, stamp);
    if (existed) ::fchmod(fd.Get(), old.st_mode & 07777);  // the file keeps its permissions
    struct stat st;
    bool ok = WriteAll(fd.Get(), bytes) && ::fstat(fd.Get(), &st) == 0;
    ok = CloseChecked(fd) && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    *stamp = StampOf(st);
    return true;
}

bool RemoveStaleTemporaries(const std::string& path) {
    const std::string target = Target(path);
    const std::size_t slash = target.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "./" : target.substr(0, slash + 1);
    const std::string prefix = target.substr(slash == std::string::npos ? 0 : slash + 1) + ".";
    const UniqueResource<DIR*, &::closedir> dir(::opendir(folder.c_str()));
    if (!dir) return false;
    bool live = false;
    while (const dirent* entry = ::readdir(dir.Get())) {
        const std::string name = entry->d_name;
        if (name.size() <= prefix.size() + 4 || name.compare(0, prefix.size(), prefix) != 0) continue;
        char* end = nullptr;
        const long pid = std::strtol(name.c_str() + prefix.size(), &end, 10);
        if (pid <= 0 || std::string(end) != ".tmp") continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) {
            ::unlink((folder + name).c_str());
        } else {
            live = true;
        }
    }
    return live;
}

}  // namespace platform
