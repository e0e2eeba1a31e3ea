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
// Deletes the folder and everything in it, read-only files too.
void RemoveTree(const std::wstring& widePath);

}  // namespace ovtest
