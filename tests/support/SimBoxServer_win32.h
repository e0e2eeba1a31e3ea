// The simulated box kept by this test process and served on a named pipe,
// for a simulated driver that runs in another process (the x64 plug-in's
// 32-bit companion) and forwards its four calls here.
#pragma once

#include <set>
#include <string>

namespace ovtest {

// Starts serving at the first call; the pipe's name.
const std::string& ServeSimBox();
// The threads that have served the box, ended ones too: this program's own,
// not the plug-in's.
std::set<unsigned long> BoxThreads();

}  // namespace ovtest
