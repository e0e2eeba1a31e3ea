// Output for a Linux terminal behind Wine. The plug-in's texts are code page
// 936 bytes, paths and other texts of the ANSI API are in the system's ANSI
// code page; every line is built in UTF-8 from them and reaches a pipe or
// file as UTF-8 bytes, a console as wide text (in the console's own
// encoding), so one stream never mixes two encodings.
#pragma once

#include <string>

void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);
