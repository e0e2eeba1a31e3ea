// A host directory of a test's own: a fresh temporary directory holding
// copies of chosen files from the build's bin/, so tests running in parallel
// never share one, and programs started from it.
#pragma once

#include <string>
#include <vector>

namespace ovtest {

class PrivateHostDir {
public:
    PrivateHostDir();   // creates an empty directory under the temp path
    ~PrivateHostDir();  // deletes it with everything in it
    PrivateHostDir(const PrivateHostDir&) = delete;
    PrivateHostDir& operator=(const PrivateHostDir&) = delete;

    bool Created() const { return !path_.empty(); }
    const std::string& Path() const { return path_; }  // with a trailing separator
    // Copies `fileName` from the program's directory; false when that fails.
    bool CopyFromBin(const std::string& fileName, const std::string& as = std::string()) const;

private:
    std::string path_;
};

struct ProgramRun {
    bool Started = false;
    bool TimedOut = false;
    unsigned long ExitCode = 0;
    std::string Output;  // standard output and error, as bytes
};

// Runs `commandLine` with `directory` as its working directory, waits up to
// `timeoutMs` (then kills it) and collects its output.
ProgramRun RunProgram(const std::string& commandLine, const std::string& directory, int timeoutMs,
                      const std::vector<std::string>& environment = {});

// A copy of the running test program started with OV_PROBE_LOAD=<file> only
// loads that file from its own directory and exits with 0 when it loaded, or
// the loader's error code. Returns that exit code, or -1 when it did not run.
long ProbeLoadIn(const PrivateHostDir& dir, const std::string& fileName);

}  // namespace ovtest
