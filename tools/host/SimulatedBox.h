// The simulated box behind the plug-in, reached through its control exports:
// a real driver lacks them.
#pragma once

#include <string>

#include "tools/simdrv/SimDrvControl.h"

// Has the simulated box play the scenario file or trace log at `path`.
// False with `error` set when the driver is not the simulated box or the file
// could not be read; problems with single lines are in info.Report.
bool PlayOnSimulatedBox(const std::string& path, simdrv::ScenarioInfo& info, std::string& error);

// For the x64 plug-in, whose driver runs in its companion process out of the
// bench's reach: has the simulated box there play `path` from its first
// open, through the environment the companion inherits.
void PlayInCompanion(const std::string& path);
