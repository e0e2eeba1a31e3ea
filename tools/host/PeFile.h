// A DLL's or program's file looked over before it is loaded or started: a
// file cut short, of the wrong processor or not a Windows image at all is
// named as such, rather than the loader's error being taken for a fault of
// some other file. The bench may be of another processor than the file, so
// what it exports is read from the file too.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

// The whole file into `bytes`; false when it cannot be read or is larger
// than `largest`.
bool ReadPeFile(const std::string& path, std::uint64_t largest, std::string& bytes);

// "32-bit" or "64-bit" for a file header's machine type.
const char* BitsOf(WORD machine);

// The machine type the file's header gives (IMAGE_FILE_MACHINE_I386, _AMD64,
// ...); 0 when it is not a readable Windows image.
WORD PeMachine(const std::string& path);

// Empty when the file holds a Windows image for `machine`, a program when its
// name ends in ".exe" and a DLL otherwise, with its headers and all of its
// sections; otherwise what is wrong with it, to follow the file's name. A
// file of the other processor "is a 64-bit DLL, which " + `refusedBy`.
std::string PeFileDamage(const std::string& path, WORD machine = IMAGE_FILE_MACHINE_I386,
                         const std::string& refusedBy = "a 32-bit host cannot load");

// The DLLs a PE file (32- or 64-bit) imports at load time, by the names its
// import table gives; empty when it has none or cannot be read.
std::vector<std::string> PeImportedDlls(const std::string& path);

// The names a PE file exports; empty when it has none or cannot be read.
std::vector<std::string> PeExportedNames(const std::string& path);
