#include "tools/host/Options.h"

#include <cstdlib>
#include <cstring>

namespace {

enum class Value { None, Required, Optional };

struct Switch {
    const char* name;
    Value takes;
    const char* help;
    // Applies the switch; returns false when the value is not acceptable.
    bool (*apply)(HostOptions& options, const char* value);
};

bool ParseSeconds(HostOptions& options, const char* value) {
    char* end = nullptr;
    const long seconds = std::strtol(value, &end, 10);
    if (end == value || *end || seconds < 0 || seconds > 24 * 3600) return false;
    options.seconds = static_cast<int>(seconds);
    options.secondsGiven = true;
    return true;
}

const Switch kSwitches[] = {
    {"seconds", Value::Required, "=N  run the message loop N seconds (default 5)", ParseSeconds},
    {"scenario", Value::None, "  have the simulated box ring with its demo scenario (demo.scenario)",
     [](HostOptions& o, const char*) { return o.scenario = true; }},
    {"replay", Value::Required,
     " FILE  have the simulated box play a scenario file or a tracing driver's log\n"
     "        (runs until its last event unless --seconds is given)",
     [](HostOptions& o, const char* v) { return !(o.replay = v).empty(); }},
    {"dialog", Value::None, "  open the property dialog over a host window, device open",
     [](HostOptions& o, const char*) { return o.dialog = true; }},
    {"check", Value::Optional, " [DIR]  check the host's folder DIR (default: this program's), or the folder\n"
     "        of the host program DIR names (HOST.exe), and exit",
     [](HostOptions& o, const char* v) {
         o.checkDir = v;
         return o.check = true;
     }},
    {"where", Value::Required,
     " OFFSET[,OFFSET...]  the function and source line of a crash report's fault offset in\n"
     "        Orvale8.dll (hexadecimal), from Orvale8.dll.debug beside this program or one folder up",
     [](HostOptions& o, const char* v) { return !(o.where = v).empty(); }},
    {"help", Value::None, "  show this text", [](HostOptions& o, const char*) { return o.help = true; }},
};

const Switch* FindSwitch(const std::string& name) {
    for (const Switch& s : kSwitches)
        if (name == s.name) return &s;
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
        const char* value = equals == std::string::npos ? nullptr : argv[i] + equals + 1;
        // A value may also come as the next argument, unless that is a switch.
        const bool nextIsValue = i + 1 < argc && std::strncmp(argv[i + 1], "--", 2) != 0;
        if (!value && s->takes != Value::None && nextIsValue) value = argv[++i];
        if (value && s->takes == Value::None) {
            error = "--" + name + " takes no value";
            return false;
        }
        if (!value && s->takes == Value::Required) {
            error = "--" + name + " needs a value";
            return false;
        }
        if (!value) value = "";
        if (!s->apply(options, value)) {
            error = "bad value for --" + name + ": " + value;
            return false;
        }
    }
    return true;
}

std::string UsageText() {
    std::string text = "usage: ovhost [switches]\n";
    for (const Switch& s : kSwitches) text += std::string("  --") + s.name + s.help + "\n";
    return text;
}
