// A DLL's file looked over before it is loaded: a file cut short or not a
// 32-bit Windows DLL is named as broken, rather than the loader's error being
// taken for a fault of some other file.
#pragma once

#include <string>
#include <vector>

// Empty when the file holds a 32-bit Windows DLL's headers and all of its
// sections; otherwise what is wrong with it, to follow the file's name ("is a
// 64-bit DLL, ...", "is broken, it is cut short: ...").
std::string PeFileDamage(const std::string& path);

// The DLLs a 32-bit PE file imports at load time, by the names its import
// table gives; empty when it has none or cannot be read.
std::vector<std::string> PeImportedDlls(const std::string& path);
