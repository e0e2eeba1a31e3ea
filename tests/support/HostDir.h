// A host directory of a test's own (a scratch directory holding copies of
// chosen files from the build's bin/), and the probe that loads a file from
// one in a fresh process.
#pragma once

#include <string>

#include "tests/support/ChildProcess.h"
#include "tests/support/ScratchDir.h"

namespace ovtest {

using PrivateHostDir = ScratchDir;

// A copy of the running test program started with OV_PROBE_LOAD=<file> only
// loads that file from its own directory and exits with 0 when it loaded, or
// the loader's error code. Returns that exit code, or -1 when it did not run.
long ProbeLoadIn(const PrivateHostDir& dir, const std::string& fileName);

}  // namespace ovtest
