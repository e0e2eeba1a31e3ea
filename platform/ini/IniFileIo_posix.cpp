#include "platform/ini/IniFileIo.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/runtime/Paths.h"

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

// The file a symbolic link leads to, so that the link stays a link.
std::string Target(const std::string& path) {
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
    const UniqueResource<char*, &::free> real(::realpath(path.c_str(), nullptr));
    return real ? std::string(real.Get()) : path;
}

// Not kill-safe: used only where no file can be made beside the target.
bool WriteInPlace(const std::string& path, const std::string& bytes, TFileStamp* stamp) {
    TOutFile file(UniqueFd(::open(path.c_str(), O_WRONLY | O_CLOEXEC)));
    const int fd = file.Handle().Get();
    struct stat st;
    bool ok = file && file.WriteFull(bytes) && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0 &&
              ::fstat(fd, &st) == 0;
    ok = file.Close() && ok;
    if (ok) *stamp = StampOf(st);
    return ok;
}

}  // namespace

TFileStamp QueryFileStamp(const std::string& path) {
    struct stat st;
    if (::stat(path.c_str(), &st) != 0) return TFileStamp{};
    return StampOf(st);
}

bool StampIsSettled(const TFileStamp& stamp) {
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    return stamp.modified + kSettleNs < static_cast<std::uint64_t>(std::chrono::nanoseconds(now).count());
}

TReadResult ReadWholeFile(const std::string& path, std::string* bytes, TFileStamp* stamp) {
    TInFile file;
    struct stat st;
    const TReadResult opened = file.Open(path);
    if (opened != TReadResult::Read) return opened;
    if (::fstat(file.Handle().Get(), &st) != 0 || !file.ReadFull(bytes)) return TReadResult::Failed;
    *stamp = StampOf(st);
    stamp->size = bytes->size();
    return TReadResult::Read;
}

// Nothing to remember: the permissions come with the stat the replace makes
// anyway.
struct TReplaceMemo::TState {};
TReplaceMemo::TReplaceMemo() = default;
TReplaceMemo::~TReplaceMemo() = default;
void TReplaceMemo::Forget() { state.reset(); }

TWriteResult ReplaceFileAtomically(const std::string& path, const std::string& bytes, TFileStamp* stamp,
                                   TReplaceMemo*) {
    const std::string target = Target(path);
    struct stat old;
    const bool existed = ::stat(target.c_str(), &old) == 0;
    if (!existed && errno != ENOENT) return TWriteResult::WriteFailed;
    if (existed && S_ISDIR(old.st_mode)) return TWriteResult::Directory;
    // rename() would replace a file without write permission; the profile
    // API's callers expect such a file to stay as it is.
    if (existed && (!S_ISREG(old.st_mode) || (old.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0))
        return TWriteResult::ReadOnly;
    // One name per process: a writer killed half-way leaves at most one behind.
    const std::string temp = target + "." + std::to_string(::getpid()) + ".tmp";
    TOutFile file;
    if (!file.Create(temp)) {
        if (errno == ENOENT) return TWriteResult::MissingFolder;
        const bool inPlace = existed && (errno == EACCES || errno == EROFS) && WriteInPlace(target, bytes, stamp);
        return inPlace ? TWriteResult::WrittenInPlace : TWriteResult::WriteFailed;
    }
    if (existed) ::fchmod(file.Handle().Get(), old.st_mode & 07777);  // the file keeps its permissions
    struct stat st;
    bool ok = file.WriteFull(bytes) && ::fstat(file.Handle().Get(), &st) == 0;
    ok = file.Close() && ok;
    ok = ok && ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return TWriteResult::WriteFailed;
    }
    *stamp = StampOf(st);
    return TWriteResult::Written;
}

bool RemoveStaleTemporaries(const std::string& path) {
    const std::string target = Target(path);
    const std::string folder = DirectoryOf(target);
    const std::string prefix = target.substr(folder.size()) + ".";
    const UniqueResource<DIR*, &::closedir> dir(::opendir(folder.empty() ? "." : folder.c_str()));
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
