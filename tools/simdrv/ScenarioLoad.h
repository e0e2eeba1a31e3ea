// Reading a scenario file from disk for the simulated box.
#pragma once

#include <string>

#include "tools/simdrv/ScenarioFile.h"

namespace simdrv {

// False when the file cannot be read or is larger than 16 MB; `why` says so,
// in ASCII and without the path, which the caller shows in its own encoding.
bool LoadScenarioFile(const std::string& path, Scenario& scenario, std::string& why);

// The scenario the box plays by itself when no one chose one: TmA4Drv.scenario
// beside the simulated driver's own file, so any host can be made to ring.
std::string ScenarioBesideDriver();

}  // namespace simdrv
