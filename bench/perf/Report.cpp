#include "bench/perf/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace perf {
namespace {

std::string Pad(const std::string& text, std::size_t width, bool right) {
    if (text.size() >= width) return text;
    const std::string fill(width - text.size(), ' ');
    return right ? fill + text : text + fill;
}

std::string WithUnit(double value, const std::string& unit) {
    return unit.empty() ? FormatNumber(value) : FormatNumber(value) + " " + unit;
}

}  // namespace

Figure& Figure::WithFloor(double floor) {
    HasFloor = true;
    Floor = floor;
    return *this;
}

Figure& Figure::WithGoal(double goal) {
    HasGoal = true;
    Goal = goal;
    return *this;
}

std::string Figure::Verdict() const {
    if (!HasGoal || !HasRatio()) return std::string();
    // Judged on the ratio as printed, so a script reading the figure line
    // agrees; comparing the raw quotient would also let the x87's extended
    // precision push a ratio at the goal just over it.
    const double printed = std::round(Ratio() * 1000) / 1000;
    return printed <= Goal + 1e-9 ? "meets" : "MISSES";
}

Figure MakeFigure(const std::string& name, const std::string& label, const std::string& unit, double value) {
    Figure f;
    f.Name = name;
    f.Label = label;
    f.Unit = unit;
    f.Value = value;
    return f;
}

std::string FormatNumber(double value) {
    char text[64];
    const double magnitude = std::fabs(value);
    if (value == std::floor(value) && magnitude < 1e15)
        std::snprintf(text, sizeof text, "%.0f", value);
    else if (magnitude >= 100)
        std::snprintf(text, sizeof text, "%.1f", value);
    else if (magnitude >= 10)
        std::snprintf(text, sizeof text, "%.2f", value);
    else
        std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

std::string FigureLine(const Figure& f) {
    std::string line = "figure " + f.Name + " value=" + FormatNumber(f.Value);
    if (f.HasFloor) line += " floor=" + FormatNumber(f.Floor);
    if (f.HasRatio()) {
        char ratio[32];
        std::snprintf(ratio, sizeof ratio, "%.3f", f.Ratio());
        line += std::string(" ratio=") + ratio;
        if (f.HasGoal) line += " goal=" + FormatNumber(f.Goal);
    }
    return line + "\n";
}

std::string FormatTable(const std::vector<Figure>& figures) {
    const std::vector<std::string> head = {"figure", "value", "floor", "ratio", "goal", ""};
    std::vector<std::vector<std::string>> rows{head};
    for (const Figure& f : figures) {
        char ratio[32] = "";
        if (f.HasRatio()) std::snprintf(ratio, sizeof ratio, "%.2f", f.Ratio());
        rows.push_back({f.Label, WithUnit(f.Value, f.Unit), f.HasFloor ? WithUnit(f.Floor, f.Unit) : "", ratio,
                        f.HasGoal && f.HasRatio() ? FormatNumber(f.Goal) : "", f.Verdict()});
    }
    std::vector<std::size_t> width(head.size(), 0);
    for (const auto& row : rows)
        for (std::size_t c = 0; c < row.size(); ++c) width[c] = std::max(width[c], row[c].size());
    std::string table;
    for (const auto& row : rows) {
        std::string line;
        for (std::size_t c = 0; c < row.size(); ++c) line += Pad(row[c], width[c], c > 0 && c < 5) + "  ";
        while (!line.empty() && line.back() == ' ') line.pop_back();
        table += line + "\n";
    }
    return table;
}

}  // namespace perf
