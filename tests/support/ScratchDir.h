// A private temporary directory for a test's files, deleted with everything in
// it at the end, and byte-level helpers for the files inside.
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

    const std::string& Path() const { return path_; }  // with a trailing separator
    std::string File(const std::string& name) const { return path_ + name; }
    // The names of the entries in the directory, sorted.
    std::vector<std::string> Entries() const;

private:
    std::string path_;
};

// The file's bytes, or "<missing>" when it cannot be read.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& bytes);
void SetReadOnly(const std::string& path, bool readOnly);

}  // namespace ovtest
