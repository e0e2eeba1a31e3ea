#include "bench/perf/Options.h"

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace perf {
namespace {

// A whole number from 1 to `limit`.
bool ParseCount(const std::string& text, int limit, int& value) {
    if (text.empty() || text.size() > 9 || !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; })) return false;
    const long n = std::strtol(text.c_str(), nullptr, 10);
    if (n < 1 || n > limit) return false;
    value = static_cast<int>(n);
    return true;
}

bool ParseGroups(const std::string& list, std::set<std::string>& groups, std::string& error) {
    std::istringstream items(list);
    std::string item;
    while (std::getline(items, item, ',')) {
        const auto& known = FigureGroups();
        if (std::find(known.begin(), known.end(), item) == known.end()) {
            error = "unknown figure group '" + item + "'";
            return false;
        }
        groups.insert(item);
    }
    if (groups.empty()) error = "--only needs at least one figure group";
    return !groups.empty();
}

void MakeQuick(BenchOptions& o) {
    o.Events = 60;
    o.IdleSeconds = 10;
    o.CloseTrials = 10;
    o.LoadRounds = 4;
    o.DialogRounds = 3;
    o.WarmDialogs = 3;
}

}  // namespace

const std::vector<std::string>& FigureGroups() {
    static const std::vector<std::string> groups = {"ring", "idle", "close", "load", "dialog"};
    return groups;
}

bool ParseOptions(const std::vector<std::string>& args, BenchOptions& o, std::string& error) {
    struct Count {
        const char* Name;
        int* Field;
        int Limit;
    };
    const Count counts[] = {{"--events=", &o.Events, 60000},          {"--idle-seconds=", &o.IdleSeconds, 3600},
                            {"--close-trials=", &o.CloseTrials, 10000}, {"--load-rounds=", &o.LoadRounds, 1000},
                            {"--dialog-rounds=", &o.DialogRounds, 1000}, {"--warm-dialogs=", &o.WarmDialogs, 1000}};
    for (const std::string& arg : args) {
        if (arg == "--quick") {
            MakeQuick(o);
            continue;
        }
        if (arg.rfind("--only=", 0) == 0) {
            if (!ParseGroups(arg.substr(7), o.Only, error)) return false;
            continue;
        }
        const Count* match = nullptr;
        for (const Count& c : counts) {
            if (arg.rfind(c.Name, 0) == 0) match = &c;
        }
        if (!match) {
            error = "unknown option '" + arg + "'";
            return false;
        }
        const std::string number = arg.substr(std::string(match->Name).size());
        if (!ParseCount(number, match->Limit, *match->Field)) {
            error = "'" + arg + "': expected a whole number from 1 to " + std::to_string(match->Limit);
            return false;
        }
    }
    return true;
}

bool Wants(const BenchOptions& options, const std::string& group) {
    return options.Only.empty() || options.Only.count(group) > 0;
}

std::string Usage() {
    return "usage: ovperf [--quick] [--events=N] [--idle-seconds=N] [--close-trials=N]\n"
           "              [--load-rounds=N] [--dialog-rounds=N] [--warm-dialogs=N]\n"
           "              [--only=ring,idle,close,load,dialog]\n"
           "Options apply in order, so --quick --events=100 shortens all but the ring figure.\n";
}

std::vector<int> SplitIntoRounds(int total, int chunk) {
    std::vector<int> rounds;
    if (total <= 0 || chunk <= 0) return rounds;
    const int count = (total + chunk - 1) / chunk;
    for (int i = 0; i < count; ++i) rounds.push_back(total / count + (i < total % count ? 1 : 0));
    return rounds;
}

}  // namespace perf
