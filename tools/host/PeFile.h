// A DLL's file looked over before it is loaded: a file cut short or not a
// 32-bit Windows DLL is named as broken, rather than the loader's error being
// taken for a fault of some other file.
#pragma once

#include <string>

// Empty when the file holds a 32-bit Windows DLL's headers and all of its
// sections; otherwise what is wrong with it, in a few words.
std::string PeFileDamage(const std::string& path);
