// Where the running program's executable file is, and the full form of a
// path the files and locks of the program are named by.
#pragma once

#include <string>

namespace platform {

// The directory of the process's executable file (GetModuleFileNameA(NULL) on
// Windows) with its trailing separator, or empty when the system does not say.
std::string ExecutableDirectory();

#ifdef _WIN32
// The full path of `path` (in the ANSI code page), wide: what the wide file
// functions and a name made from the path need whatever the working folder.
// Empty when the path has no full form.
std::wstring FullWidePath(const std::string& path);
#endif

}  // namespace platform
