// The benchmark's output: a table for people and one line per figure for
// scripts, "figure NAME value=V floor=F ratio=R goal=G", where ratio is
// value / floor and goal the largest ratio allowed; floor, ratio and goal are
// left out where a figure has none.
#pragma once

#include <string>
#include <vector>

namespace perf {

struct Figure {
    std::string Name;   // for scripts, unit included: ring_median_us
    std::string Label;  // for the table
    std::string Unit;
    double Value = 0;
    bool HasFloor = false;
    double Floor = 0;
    bool HasGoal = false;
    double Goal = 0;

    Figure& WithFloor(double floor);
    Figure& WithGoal(double goal);
    // A ratio needs a floor above zero; 0 otherwise.
    bool HasRatio() const { return HasFloor && Floor > 0; }
    double Ratio() const { return HasRatio() ? Value / Floor : 0; }
    // "meets", "MISSES", or empty without a goal (or without a ratio to
    // judge); the ratio is taken to the three decimals printed.
    std::string Verdict() const;
};

Figure MakeFigure(const std::string& name, const std::string& label, const std::string& unit, double value);

// Enough digits to compare, never exponent notation.
std::string FormatNumber(double value);

std::string FigureLine(const Figure& figure);
std::string FormatTable(const std::vector<Figure>& figures);

}  // namespace perf
