// The forms' texts are code page 936 bytes whatever the system's ANSI code
// page; windows show them through the wide API after an explicit conversion.
#pragma once

#include <string>

namespace platform {

constexpr unsigned kFormCodePage = 936;

std::wstring WideFromForm(const std::string& text);
std::string FormFromWide(const std::wstring& text);

}  // namespace platform
