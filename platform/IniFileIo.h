// The file operations under TIniFile: whole-file reads, change stamps and the
// atomic replace. One implementation per platform.
#pragma once

#include <cstdint>
#include <string>

namespace platform {

// What tells one version of a file from the next without reading it.
struct TFileStamp {
    std::uint64_t size = 0;
    std::uint64_t modified = 0;
    std::uint64_t identity = 0;  // the file's creation time or inode: new on each replace
    bool exists = false;

    bool operator==(const TFileStamp& o) const {
        return size == o.size && modified == o.modified && identity == o.identity && exists == o.exists;
    }
    bool operator!=(const TFileStamp& o) const { return !(*this == o); }
};

// The stamp of the file at path; exists is false when there is no such file.
TFileStamp QueryFileStamp(const std::string& path);

enum class TReadResult { Read, Missing, Failed };

// Reads the whole file and the stamp of what was read. Missing: there is no
// such file (nor a directory of that name). Failed: it exists but cannot be
// read (a directory, locked, no permission).
TReadResult ReadWholeFile(const std::string& path, std::string* bytes, TFileStamp* stamp);

// Writes bytes to a temporary file beside path and puts it in path's place in
// one step, so that the file is the old one or the new one at every moment
// whatever happens to the process. The bytes are not forced to the disk first:
// that would double the cost of each key written, and a power cut is not what
// the language file needs guarding against.
// A read-only file, a directory of that name, a missing folder or a full disk
// make it return false with path as it was. stamp receives the new file's.
bool ReplaceFileAtomically(const std::string& path, const std::string& bytes, TFileStamp* stamp);

// True when path names an existing file (not a directory).
bool FileExists(const std::string& path);

}  // namespace platform
