#include "bench/perf/Samples.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace perf {
namespace {

bool StartsWith(const std::string& line, const char* prefix, std::string& rest) {
    const std::string p(prefix);
    if (line.compare(0, p.size(), p) != 0) return false;
    rest = line.substr(p.size());
    return true;
}

bool ParseSample(const std::string& body, std::string& name, double& value) {
    const std::size_t blank = body.find(' ');
    if (blank == 0 || blank == std::string::npos) return false;
    name = body.substr(0, blank);
    const std::string number = body.substr(blank + 1);
    char* end = nullptr;
    errno = 0;
    value = std::strtod(number.c_str(), &end);
    return end != number.c_str() && *end == '\0' && errno == 0 && std::isfinite(value);
}

}  // namespace

const std::vector<double>& ChildReport::Of(const std::string& name) const {
    static const std::vector<double> none;
    const auto found = Samples.find(name);
    return found == Samples.end() ? none : found->second;
}

void ParseReport(const std::string& output, ChildReport& report) {
    std::istringstream lines(output);
    std::string line, rest;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (StartsWith(line, "sample ", rest)) {
            std::string name;
            double value = 0;
            if (ParseSample(rest, name, value))
                report.Samples[name].push_back(value);
            else
                report.Errors.push_back("unreadable sample line: " + line);
        } else if (StartsWith(line, "note ", rest)) {
            report.Notes.push_back(rest);
        } else if (StartsWith(line, "error ", rest)) {
            report.Errors.push_back(rest);
        }
    }
}

std::string SampleLine(const std::string& name, double value) {
    char number[64];
    std::snprintf(number, sizeof number, "%.17g", value);
    return "sample " + name + " " + number + "\n";
}

}  // namespace perf
