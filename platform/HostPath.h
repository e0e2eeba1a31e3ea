// Where the running program's executable file is.
#pragma once

#include <string>

namespace platform {

// The directory of the process's executable file (GetModuleFileNameA(NULL) on
// Windows) with its trailing separator, or empty when the system does not say.
std::string ExecutableDirectory();

}  // namespace platform
