// The translator's sequence of language-file calls, made through the Windows
// profile API as the framework's INI class made them.
#pragma once

#include <string>
#include <vector>

namespace bench {

struct TKeyVisit {
    std::string section, key, value;  // value: what is written when the key is missing
};

// The keys of a file written in visiting order, with their values.
std::vector<TKeyVisit> VisitsFromFile(const std::string& path);

// How the key-exists test is made through the profile API.
enum class TExistsTest {
    ListSection,  // the section's key names listed and searched, as the framework's INI class did
    Sentinel,     // one read with a default no value holds: the cheapest the API allows
};

// For each visit: the key-exists test, then a read, or a write followed by a flush.
void ReplayThroughProfileApi(const std::vector<TKeyVisit>& visits, const std::string& path,
                             TExistsTest test);

}  // namespace bench
