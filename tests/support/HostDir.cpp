#include "tests/support/HostDir.h"

#include <windows.h>

#include <cstdlib>

#include "platform/runtime/Paths.h"

namespace ovtest {

namespace {

constexpr char kProbeVariable[] = "OV_PROBE_LOAD";

// The probe mode of the test program itself, decided before GoogleTest runs.
const bool g_probeRan = [] {
    const char* file = std::getenv(kProbeVariable);
    if (!file || !*file) return false;
    const HMODULE module = LoadLibraryA((platform::ExecutableDirectory() + file).c_str());
    ExitProcess(module ? 0 : ::GetLastError());
}();

}  // namespace

long ProbeLoadIn(const PrivateHostDir& dir, const std::string& fileName) {
    (void)g_probeRan;
    const std::string program = ProgramName();
    if (!dir.CopyFromBin(program)) return -1;
    const ProgramRun run =
        RunProgram("\"" + dir.Path() + program + "\"", dir.Path(), 60000, {std::string(kProbeVariable) + "=" + fileName});
    if (!run.Started || run.TimedOut) return -1;
    return static_cast<long>(run.ExitCode);
}

}  // namespace ovtest
