#include "bench/perf/Figures.h"
#include "platform/runtime/TextLines.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace perf {
namespace {

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

std::string Printed(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string WithUnit(double value, const std::string& unit) { return FormatNumber(value) + (unit.empty() ? "" : " ") + unit; }

}  // namespace

double Quantile(std::vector<double> values, double q) {
    if (values.empty()) return 0;
    std::sort(values.begin(), values.end());
    const double rank = q * double(values.size() - 1);
    const std::size_t below = std::size_t(rank), above = std::min(below + 1, values.size() - 1);
    return values[below] + (rank - double(below)) * (values[above] - values[below]);
}

const std::vector<double>& ChildReport::Of(const std::string& name) const {
    static const std::vector<double> none;
    return Samples.count(name) ? Samples.at(name) : none;
}

void ParseReport(const std::string& output, ChildReport& report) {
    std::string name;
    double value = 0;
    for (const std::string& line : platform::SplitLines(output)) {
        if (line.compare(0, 6, "error ") == 0) report.Errors.push_back(line.substr(6));
        if (line.compare(0, 7, "sample ") != 0) continue;
        if (ParseSample(line.substr(7), name, value))
            report.Samples[name].push_back(value);
        else
            report.Errors.push_back("unreadable sample line: " + line);
    }
}

std::string SampleLine(const std::string& name, double value) {
    return "sample " + name + " " + Printed("%.17g", value) + "\n";
}

std::string Figure::Verdict() const {
    if (!HasGoal || !HasRatio()) return std::string();
    // Judged on the ratio as printed, so a script reading the figure line
    // agrees; comparing the raw quotient would also let the x87's extended
    // precision push a ratio at the goal just over it.
    return std::round(Ratio() * 1000) / 1000 <= Goal + 1e-9 ? "meets" : "MISSES";
}

std::string FormatNumber(double value) {
    const double magnitude = std::fabs(value);
    if (value == std::floor(value) && magnitude < 1e15) return Printed("%.0f", value);
    return Printed(magnitude >= 100 ? "%.1f" : magnitude >= 10 ? "%.2f" : "%.3f", value);
}

std::string FigureLine(const Figure& f) {
    std::string line = "figure " + f.Name + " value=" + FormatNumber(f.Value);
    if (f.HasFloor) line += " floor=" + FormatNumber(f.Floor);
    if (f.HasRatio()) line += " ratio=" + Printed("%.3f", f.Ratio());
    if (f.HasRatio() && f.HasGoal) line += " goal=" + FormatNumber(f.Goal);
    return line + "\n";
}

std::string FormatTable(const std::vector<Figure>& figures) {
    std::vector<std::vector<std::string>> rows{{"figure", "value", "floor", "ratio", "goal", ""}};
    for (const Figure& f : figures) {
        rows.push_back({f.Label, WithUnit(f.Value, f.Unit), f.HasFloor ? WithUnit(f.Floor, f.Unit) : "",
                        f.HasRatio() ? Printed("%.2f", f.Ratio()) : "",
                        f.HasGoal && f.HasRatio() ? FormatNumber(f.Goal) : "", f.Verdict()});
    }
    std::vector<std::size_t> width(rows[0].size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) {
            const std::string fill(width[c] - row[c].size(), ' ');
            line += (c > 0 && c < 5 ? fill + row[c] : row[c] + fill) + "  ";  // numbers to the right
        }
        table += line.substr(0, line.find_last_not_of(' ') + 1) + "\n";
    }
    return table;
}

}  // namespace perf
