#include "bench/perf/Options.h"

#include <sstream>

namespace perf {
namespace {

// A whole number from 1 to `limit`, digits only; 0 otherwise.
int Count(const std::string& text, int limit) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return 0;
    const long n = std::stol(text);
    return n <= limit ? int(n) : 0;
}

}  // namespace

bool ParseOptions(const std::vector<std::string>& args, BenchOptions& o, std::string& error) {
    const struct {
        const char* name;
        int* field;
        int limit;
        int quick;
    } counts[] = {{"--events=", &o.events, 60000, 60},          {"--idle-seconds=", &o.idleSeconds, 3600, 10},
                  {"--close-trials=", &o.closeTrials, 10000, 10}, {"--load-rounds=", &o.loadRounds, 1000, 4},
                  {"--dialog-rounds=", &o.dialogRounds, 1000, 3}, {"--warm-dialogs=", &o.warmDialogs, 1000, 3}};
    for (const std::string& arg : args) {
        bool known = arg == "--quick";
        for (const auto& c : counts) {
            if (known && arg == "--quick") *c.field = c.quick;
            const std::string name = c.name;
            if (arg.compare(0, name.size(), name) != 0) continue;
            known = true;
            *c.field = Count(arg.substr(name.size()), c.limit);
            if (!*c.field) return error = "'" + arg + "' needs a whole number from 1 to " + std::to_string(c.limit), false;
        }
        std::istringstream groups(arg.compare(0, 7, "--only=") == 0 ? arg.substr(7) : "");
        for (std::string group; std::getline(groups, group, ',');) {
            if (!std::set<std::string>{"ring", "idle", "close", "load", "dialog", "x64"}.count(group))
                return error = "unknown figure group '" + group + "'", false;
            o.only.insert(group);
            known = true;
        }
        if (arg == "--only=") return error = "--only needs at least one figure group", false;
        if (arg.compare(0, 6, "--x64=") == 0) {
            o.x64Bin = arg.substr(6);
            if (o.x64Bin.empty()) return error = "--x64 needs the x64 build's bin folder", false;
            if (o.x64Bin.back() != '\\' && o.x64Bin.back() != '/') o.x64Bin += '\\';
            known = true;
        }
        if (!known) return error = "unknown option '" + arg + "'", false;
    }
    return true;
}

std::string Usage() {
    return "usage: ovperf [--quick] [--events=N] [--idle-seconds=N] [--close-trials=N]\n"
           "              [--load-rounds=N] [--dialog-rounds=N] [--warm-dialogs=N]\n"
           "              [--only=ring,idle,close,load,dialog,x64] [--x64=X64_BIN_FOLDER]\n"
           "Options apply in order, so --quick --events=100 shortens all but the ring figure.\n";
}

std::vector<int> SplitIntoRounds(int total, int chunk) {
    std::vector<int> rounds;
    const int count = total > 0 && chunk > 0 ? (total + chunk - 1) / chunk : 0;
    for (int i = 0; i < count; ++i) rounds.push_back(total / count + (i < total % count ? 1 : 0));
    return rounds;
}

}  // namespace perf
