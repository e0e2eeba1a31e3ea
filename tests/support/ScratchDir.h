// A private temporary directory for a test's (or a benchmark run's) files,
// deleted with everything in it at the end, and byte-level helpers for the
// files inside. A host directory is one of these holding copies of the
// build's programs, so runs in parallel never share one.
#pragma once

#include <string>
#include <vector>

namespace ovtest {

class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    bool Created() const { return !path_.empty(); }  // it throws otherwise; kept for host-directory callers
    const std::string& Path() const { return path_; }  // with a trailing separator
    std::string File(const std::string& name) const { return path_ + name; }
    // The names of the entries in the directory, sorted.
    std::vector<std::string> Entries() const;
    // Copies `fileName` from the running program's directory, as `as` when
    // given; false when that fails.
    bool CopyFromBin(const std::string& fileName, const std::string& as = std::string()) const;

private:
    std::string path_;
};

// Paths are UTF-8 (see platform/runtime/Paths.h).
// The file's bytes, or "<missing>" when it cannot be read; read as the
// plug-in reads, without blocking another process's replace of it.
std::string ReadBytes(const std::string& path);
// Makes the folder and any folder above it that is missing; any length.
bool MakeDirectories(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
void SetReadOnly(const std::string& path, bool readOnly);

}  // namespace ovtest
