// The forms' texts are code page 936 bytes whatever the system's ANSI code
// page; windows show them through the wide API after the runtime's explicit
// conversion.
#pragma once

#include "platform/runtime/Utf16Text.h"

namespace platform {

inline constexpr auto WideFromForm = &GbkToWide;
inline constexpr auto FormFromWide = &WideToGbk;

}  // namespace platform
