// Directories for the measuring processes and the running of them. The
// plug-in finds its files beside the host's executable, so every variant runs
// from a private directory holding copies of the programs and DLLs it needs.
#pragma once

#include <string>
#include <vector>

namespace perf {

// The directory of the running program, with a trailing separator.
std::string ProgramDirectory();

bool ReadWholeFile(const std::string& path, std::string& bytes);
bool WriteWholeFile(const std::string& path, const std::string& bytes);

class PrivateDir {
public:
    explicit PrivateDir(const std::string& tag);  // a fresh directory under the temp path
    ~PrivateDir();                                // removed with its files
    PrivateDir(const PrivateDir&) = delete;
    PrivateDir& operator=(const PrivateDir&) = delete;

    bool Created() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }  // with a trailing separator
    // Copies the named files from `from` (a directory with a trailing separator).
    bool CopyIn(const std::string& from, const std::vector<std::string>& names) const;
    bool Write(const std::string& name, const std::string& bytes) const;
    void Remove(const std::string& name) const;

private:
    std::string path_;
};

struct ChildRun {
    bool Started = false;
    bool TimedOut = false;
    unsigned long ExitCode = 0;
    std::string Output;  // standard output and error, as bytes
};

// Runs `program` (a file in `dir`) with `arguments`, `dir` as its working
// directory; kills it after `timeoutMs`.
ChildRun RunChild(const std::string& dir, const std::string& program, const std::string& arguments, int timeoutMs);

}  // namespace perf
