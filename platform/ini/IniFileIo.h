// The file operations under TIniFile: change stamps, reads that tell them
// and the replace. One implementation per platform.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/runtime/File.h"

namespace platform {

// What tells one version of a file from the next without reading it.
struct TFileStamp {
    std::uint64_t size = 0;
    std::uint64_t modified = 0;
    std::uint64_t identity = 0;  // the file's creation time or inode
    bool exists = false;

    bool operator==(const TFileStamp& o) const {
        return size == o.size && modified == o.modified && identity == o.identity && exists == o.exists;
    }
    bool operator!=(const TFileStamp& o) const { return !(*this == o); }
};

// The stamp of the file at path; exists is false when there is no such file.
TFileStamp QueryFileStamp(const std::string& path);

// True when the file's time lies so far in the past that any later change
// would move it. A change within the same clock tick as the last one (15.6 ms
// on NTFS, 2 s on FAT) may keep size and time, so until then only reading the
// file again tells.
bool StampIsSettled(const TFileStamp& stamp);

// Reads the whole file (as platform::ReadWholeFile) and the stamp of what was
// read.
TReadResult ReadWholeFile(const std::string& path, std::string* bytes, TFileStamp* stamp);

// What became of a write of the file: written, or why not.
enum class TWriteResult {
    Written,
    WrittenInPlace,  // no new file could be made beside it
    ReadOnly,
    Directory,       // of the file's name
    MissingFolder,
    WriteFailed,     // a full disk, a file open elsewhere without sharing, no permission
    Locked,          // its lock was held elsewhere beyond the wait
    Unreadable,      // what it holds is unknown, so writing would lose it
    TooLarge,        // above the size limit
    NotText,         // or text that the way through code page 936 would change
};
inline bool Wrote(TWriteResult r) { return r == TWriteResult::Written || r == TWriteResult::WrittenInPlace; }

// Puts bytes in the file's place so that the file is the old one or the new
// one at every moment whatever happens to the process: a temporary file
// beside it, then one replace that keeps the file's attributes (and on
// Windows its ACL and creation time). A path that is a symbolic link is
// written through to its target. Where no temporary file can be made beside
// it (a folder that allows no new file), the file is written in place, which
// a kill mid-write can leave torn. The bytes are not forced to the disk
// first: that would double the cost of each key written, and a power cut is
// not what the language file needs guarding against.
// Anything but Written or WrittenInPlace leaves path as it was. stamp
// receives the new file's.
// memo, when given, remembers what the new file took over from the old, so
// that the next replace of that file, if nothing else replaced it since,
// need not read it again: a writer that adds keys one at a time replaces
// the file at each key.
class TReplaceMemo;
TWriteResult ReplaceFileAtomically(const std::string& path, const std::string& bytes, TFileStamp* stamp,
                           TReplaceMemo* memo = nullptr);

class TReplaceMemo {
public:
    TReplaceMemo();
    ~TReplaceMemo();  // where TState is whole
    void Forget();

    struct TState;  // each platform's own
    std::unique_ptr<TState> state;
};

// Removes the temporary files that writers of path killed mid-write left
// beside it ("<name>.<pid>.tmp" of a process that is gone). True when some
// belong to processes that still run: those are left to their writers, and
// another look later may find them gone.
bool RemoveStaleTemporaries(const std::string& path);

}  // namespace platform
