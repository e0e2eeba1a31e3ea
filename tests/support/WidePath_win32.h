// Paths in the tests are UTF-8, as the product's are; under Windows they
// reach the system through the wide API, so that a folder the ANSI code page
// cannot spell, or a path over 260 characters, works in the tests too.
#pragma once

#include <string>

namespace ovtest {

std::wstring WideText(const std::string& utf8);
std::string Utf8Text(const std::wstring& wide);
// Full, with the "\\?\" prefix that lifts the length limit.
std::wstring WidePath(const std::string& utf8Path);
// Makes the folder and any folder above it that is missing.
bool MakeDirectories(const std::string& utf8Path);

}  // namespace ovtest
