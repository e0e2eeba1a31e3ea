#include "bench/perf/CpuMeter_win32.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "bench/perf/Workspace_win32.h"

namespace perf {
namespace {

bool UnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version");
}

double FileTimeUs(const FILETIME& t) {
    return double((ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 10.0;
}

double ProcessTimesUs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    return FileTimeUs(kernel) + FileTimeUs(user);
}

// 32-bit Linux system calls: the Windows code of a Wine process runs in that
// Linux process.
long LinuxCall(long number, long a = 0, long b = 0) {
    long result;
    __asm__ volatile("int $0x80" : "=a"(result) : "a"(number), "b"(a), "c"(b) : "memory");
    return result;
}

// clock_gettime(CLOCK_PROCESS_CPUTIME_ID).
double LinuxProcessUs() {
    struct {
        long seconds, nanoseconds;
    } t = {0, 0};
    const long clockGettime = 265, processCpuClock = 2;
    return LinuxCall(clockGettime, processCpuClock, reinterpret_cast<long>(&t)) == 0
               ? double(t.seconds) * 1e6 + double(t.nanoseconds) / 1e3
               : -1;
}

// The sum of "voluntary_ctxt_switches" and "nonvoluntary_ctxt_switches" over
// the process's threads in /proc (found by the Linux process id, since
// /proc/self would name the server).
double LinuxSwitches() {
    const long getpid = 20;
    const std::string tasks = "Z:\\proc\\" + std::to_string(LinuxCall(getpid)) + "\\task\\";
    WIN32_FIND_DATAA found;
    const HANDLE search = FindFirstFileA((tasks + "*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    double total = 0;
    do {
        std::string status;
        if (found.cFileName[0] == '.' || !ReadWholeFile(tasks + found.cFileName + "\\status", status)) continue;
        for (const char* key : {"\nvoluntary_ctxt_switches:", "\nnonvoluntary_ctxt_switches:"}) {
            const std::size_t at = status.find(key);
            if (at != std::string::npos) total += std::strtod(status.c_str() + at + std::strlen(key), nullptr);
        }
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return total;
}

// Wine's server opens files on behalf of its clients, so /proc/self names the
// server there. Its stat line says so; the schedstat line starts with the
// nanoseconds it has run.
double ServerUs() {
    std::string stat, sched;
    if (!ReadWholeFile("Z:\\proc\\self\\stat", stat) || stat.find("(wineserver") == std::string::npos) return -1;
    if (!ReadWholeFile("Z:\\proc\\self\\schedstat", sched) || sched.empty()) return -1;
    return std::strtod(sched.c_str(), nullptr) / 1e3;
}

}  // namespace

CpuReading ReadCpu() {
    static const bool wine = UnderWine();
    CpuReading r;
    r.ProcessTimesUs = ProcessTimesUs();
    r.ProcessUs = wine ? LinuxProcessUs() : r.ProcessTimesUs;
    if (r.ProcessUs < 0) r.ProcessUs = r.ProcessTimesUs;
    if (wine) {
        r.ServerUs = ServerUs();
        r.Switches = LinuxSwitches();
    }
    return r;
}

}  // namespace perf
