// A file opened for reading or for writing, named by a UTF-8 path (see
// Paths.h). Each holds its handle and closes it; a write reports its close,
// where a full disk may show only then. One implementation per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

#ifdef _WIN32
#include "platform/runtime/Handles_win32.h"
namespace platform { using UniqueFile = UniqueHandle; }
#else
#include "platform/runtime/Handles_posix.h"
namespace platform { using UniqueFile = UniqueFd; }
#endif

namespace platform {

enum class TReadResult { Read, Missing, Failed };

class TInFile {
public:
    // Opens an existing file, shared with its writers and with a replace of
    // it. Missing: there is no such file (nor a directory of that name).
    // Failed: it exists but cannot be read (a directory, locked, no
    // permission). Read: it is open.
    TReadResult Open(const std::string& path);

    // Reads at most size bytes; *got is 0 at the end of the file.
    bool Read(char* data, std::size_t size, std::size_t* got);
    // The rest of the file.
    bool ReadFull(std::string* bytes);
    std::uint64_t Size() const;

    const UniqueFile& Handle() const { return file_; }

private:
    UniqueFile file_;
};

class TOutFile {
public:
    TOutFile() = default;
    explicit TOutFile(UniqueFile file) : file_(std::move(file)) {}

    // Creates the file, or empties the one there (a hidden one too).
    bool Create(const std::string& path);
    // Creates the file, or opens the one there to write at its end.
    bool Append(const std::string& path);
    bool WriteFull(const std::string& bytes);
    // False when the system reports a failed write at the close.
    bool Close();

    explicit operator bool() const { return file_.Valid(); }
    const UniqueFile& Handle() const { return file_; }

private:
    UniqueFile file_;
};

// The whole file, as TInFile::Open tells.
TReadResult ReadWholeFile(const std::string& path, std::string* bytes);

}  // namespace platform
