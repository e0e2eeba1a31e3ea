// Where the running program's executable file is, and the forms of a path
// that the files and locks of the program are named by.
//
// Paths are UTF-8 on every system. On Windows the ANSI code page cannot spell
// every folder name (a Chinese folder under code page 1252, a Korean or Thai
// one under 936), so paths reach the system only through the wide API.
#pragma once

#include <string>

#include "platform/runtime/TextConvert.h"  // Utf8FromWide, WideFromUtf8

namespace platform {

// The full path of the process's executable file (GetModuleFileNameW(NULL) on
// Windows), in UTF-8, or empty when the system does not say.
std::string ExecutablePath();

// What a path names up to and including its last separator: the directory of
// a file, with its trailing separator.
inline std::string DirectoryOf(const std::string& path) { return path.substr(0, path.find_last_of("\\/") + 1); }

inline std::string ExecutableDirectory() { return DirectoryOf(ExecutablePath()); }

// True when path names an existing file (not a directory).
bool FileExists(const std::string& path);

#ifdef _WIN32
// The full path of a loaded module's file (a DLL's handle, or null for the
// executable), in UTF-8; empty when the system does not say.
std::string ModulePath(void* module);

// The full path of the UTF-8 `path`, wide, with the "\\?\" prefix that lifts
// the 260-character limit: what the wide file functions and a name made from
// the path need whatever the working folder. Empty when the path has no full
// form.
std::wstring FullWidePath(const std::string& path);

// The file a write of `path` goes to: FullWidePath with a symbolic link
// followed to its target, so that the link stays a link. Empty when the path
// has no full form.
std::wstring FinalWidePath(const std::string& path);
#endif

}  // namespace platform
