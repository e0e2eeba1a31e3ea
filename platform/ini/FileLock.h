// The lock that makes re-read, change and replace of one file a single step
// across processes: writers of the same file on one machine take turns.
#pragma once

#include <string>

#ifdef _WIN32
#include "platform/runtime/Handles_win32.h"
#else
#include "platform/runtime/Handles_posix.h"
#endif

namespace platform {

// Holds the lock of path's writers while it lives, waiting at most timeoutMs
// for it. Named after the file, not its spelling: two drive letters, a short
// name or a link to the same file take the same lock. Windows: a named mutex
// named after the identity of the file's folder (its file index) and the
// file's long name, so it leaves no file behind and the
// system releases it when its holder dies. Elsewhere: a lock on the file's
// directory, which the system also releases with its holder. Neither reaches
// another machine that shares the folder.
class TFileLock {
public:
    // The name of path's lock, the same for every spelling of the file; empty
    // when none can be made (its folder is missing). It names the folder,
    // which keeps its identity while it is there, so a writer may keep it.
    static std::string NameOf(const std::string& path);
    struct TNamed {
        std::string name;  // from NameOf
    };

    TFileLock(const std::string& path, int timeoutMs) : TFileLock(TNamed{NameOf(path)}, timeoutMs) {}
    TFileLock(const TNamed& lock, int timeoutMs);
    ~TFileLock();
    TFileLock(const TFileLock&) = delete;
    TFileLock& operator=(const TFileLock&) = delete;

    // False when the wait timed out or the lock could not be made.
    bool Held() const { return held_; }

private:
    bool held_ = false;
#ifdef _WIN32
    UniqueHandle mutex_;
#else
    UniqueFd directory_;
#endif
};

}  // namespace platform
