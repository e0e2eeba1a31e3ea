#include "platform/runtime/File.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>

namespace platform {

TReadResult TInFile::Open(const std::string& path) {
    file_.Reset(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (!file_) return errno == ENOENT ? TReadResult::Missing : TReadResult::Failed;
    struct stat st;
    if (::fstat(file_.Get(), &st) == 0 && S_ISREG(st.st_mode)) return TReadResult::Read;
    file_.Reset();
    return TReadResult::Failed;
}

bool TInFile::Read(char* data, std::size_t size, std::size_t* got) {
    for (;;) {
        const ssize_t n = ::read(file_.Get(), data, size);
        if (n < 0 && errno == EINTR) continue;
        *got = n < 0 ? 0 : static_cast<std::size_t>(n);
        return n >= 0;
    }
}

std::uint64_t TInFile::Size() const {
    struct stat st;
    return ::fstat(file_.Get(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

bool TOutFile::Create(const std::string& path) {
    file_.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    return file_.Valid();
}

bool TOutFile::Append(const std::string& path) {
    file_.Reset(::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644));
    return file_.Valid();
}

bool TOutFile::WriteFull(const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(file_.Get(), bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool TOutFile::Close() { return file_ && ::close(file_.Release()) == 0; }

}  // namespace platform
