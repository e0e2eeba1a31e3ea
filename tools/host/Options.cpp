#include "tools/host/Options.h"

#include <cstdlib>
#include <cstring>

namespace {

struct Switch {
    const char* Name;
    bool TakesValue;
    const char* Help;
    // Applies the switch; returns false when the value is not acceptable.
    bool (*Apply)(HostOptions& options, const char* value);
};

bool ParseSeconds(HostOptions& options, const char* value) {
    char* end = nullptr;
    const long seconds = std::strtol(value, &end, 10);
    if (end == value || *end || seconds < 0 || seconds > 24 * 3600) return false;
    options.Seconds = static_cast<int>(seconds);
    return true;
}

const Switch kSwitches[] = {
    {"seconds", true, "=N  run the message loop N seconds (default 5)", ParseSeconds},
    {"scenario", false, "  have the simulated box ring with its demo scenario",
     [](HostOptions& o, const char*) { return o.Scenario = true; }},
    {"dialog", false, "  open the property dialog over a host window, device open",
     [](HostOptions& o, const char*) { return o.Dialog = true; }},
    {"help", false, "  show this text", [](HostOptions& o, const char*) { return o.Help = true; }},
};

const Switch* FindSwitch(const std::string& name) {
    for (const Switch& s : kSwitches)
        if (name == s.Name) return &s;
    return nullptr;
}

}  // namespace

bool ParseOptions(int argc, char** argv, HostOptions& options, std::string& error) {
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.compare(0, 2, "--") != 0) {
            error = "unexpected argument: " + arg;
            return false;
        }
        const std::size_t equals = arg.find('=');
        const std::string name = arg.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
        const Switch* s = FindSwitch(name);
        if (!s) {
            error = "unknown switch: --" + name;
            return false;
        }
        if (s->TakesValue != (equals != std::string::npos)) {
            error = s->TakesValue ? "--" + name + " needs a value" : "--" + name + " takes no value";
            return false;
        }
        const char* value = equals == std::string::npos ? "" : argv[i] + equals + 1;
        if (!s->Apply(options, value)) {
            error = "bad value for --" + name + ": " + value;
            return false;
        }
    }
    return true;
}

std::string UsageText() {
    std::string text = "usage: ovhost [switches]\n";
    for (const Switch& s : kSwitches) text += std::string("  --") + s.Name + s.Help + "\n";
    return text;
}
