// What a measuring child process reports to the orchestrator, one line each
// on its standard output:
//   sample NAME VALUE   one measurement (NAME without blanks)
//   note TEXT           shown under the table
//   error TEXT          the child could not measure what it was asked
// Any other line (Wine's own chatter) is ignored.
#pragma once

#include <map>
#include <string>
#include <vector>

namespace perf {

struct ChildReport {
    std::map<std::string, std::vector<double>> Samples;
    std::vector<std::string> Notes;
    std::vector<std::string> Errors;

    const std::vector<double>& Of(const std::string& name) const;
};

// Adds the lines of `output` to `report`; a sample line whose value does not
// parse becomes an error, so a broken child cannot pass for a quiet one.
void ParseReport(const std::string& output, ChildReport& report);

std::string SampleLine(const std::string& name, double value);

}  // namespace perf
