// A host in a directory of its own, for tests of the files the plug-in
// finds beside the host's executable: the plug-in, the simulated driver and
// a copy of the running test program, which, started with OV_REL_HOST set,
// acts as the host instead of running tests: it loads the plug-in, opens the
// device, shows the property dialog and presses OK as soon as it appears,
// closes the device, and prints what the dialog showed.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/HostDir.h"

namespace ovtest {

// What the host printed: caption, label and button as UTF-8 (at most the
// 255 characters a window text buffer of the watcher takes), the result of
// ShowProperties.
struct DialogShown {
    bool Ran = false;  // started, ended by itself with exit code 0
    unsigned long ExitCode = 0;
    std::vector<std::string> Lines;
};

class RelHostDir {
public:
    RelHostDir();
    bool Ready() const { return ready_; }
    const std::string& Path() const { return dir_.Path(); }
    std::string PathOf(const std::string& name) const { return dir_.Path() + name; }

    // Runs the host to its end (or kills it after `timeoutMs`).
    DialogShown ShowDialog(int timeoutMs = 60000) const;
    // The same for another run of the host: "exit" opens the device and
    // exits while the reader is inside the wake hook.
    DialogShown RunHost(const char* mode, int timeoutMs) const;
    // Runs the host as ShowDialog does and returns how far its peak memory
    // (the resident set: under Wine the private-byte peak is not kept) rose
    // above what it used before loading the plug-in; -1 when not told.
    std::int64_t PeakMemory(DialogShown& shown, int timeoutMs = 120000) const;
    // Starts the host and returns its process handle (the caller closes it).
    HANDLE StartHost() const;

    // The names in the directory, sorted.
    std::vector<std::string> Listing() const;

private:
    PrivateHostDir dir_;
    bool ready_ = true;
};

// The lines a host prints for a dialog showing these code page 936 texts
// (each cut to what the watcher reads) and the result -1.
std::vector<std::string> ShownLines(const std::string& caption, const std::string& label, const std::string& button);

}  // namespace ovtest
