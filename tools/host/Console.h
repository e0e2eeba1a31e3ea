// Output for a Linux terminal behind Wine. The plug-in's texts are code page
// 936 bytes; lines are built in UTF-8 and reach a pipe or file as UTF-8
// bytes, a console as wide text.
#pragma once

#include <string>

// The bytes of `text` (NUL-terminated, code page 936) in UTF-8; bytes that
// are not valid code page 936 come out as replacement characters.
std::string Cp936ToUtf8(const char* text);

void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);
