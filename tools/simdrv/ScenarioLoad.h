// Reading a scenario file from disk for the simulated box.
#pragma once

#include <string>

#include "tools/simdrv/ScenarioFile.h"

namespace simdrv {

// False when the file cannot be read or is larger than 16 MB; `why` says so,
// in ASCII and without the path, which the caller shows in its own encoding.
bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& why);

// The scenario the box plays by itself when no one chose one: the file that
// the environment variable below names (a host whose driver runs in another
// process, the x64 plug-in's companion, cannot reach the box's exports, but
// the companion inherits its environment), else TmA4Drv.scenario beside the
// simulated driver's own file, so any host can be made to ring.
constexpr wchar_t kScenarioVariable[] = L"OV_SIMBOX_SCENARIO";
std::string ScenarioBesideDriver();

}  // namespace simdrv
