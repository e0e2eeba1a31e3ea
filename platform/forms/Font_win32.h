// GDI fonts for the component model's font descriptions.
#pragma once

#include <windows.h>

#include "platform/forms/Components.h"

namespace platform {

// A new GDI font for a description, through the wide API (the face name is
// code page 936 bytes); null when GDI refuses.
HFONT CreateFontFor(const TFont& font);
TFont DescribeFont(HFONT handle);

// Pixels per logical inch of the screen, which the forms are scaled to.
int ScreenPixelsPerInch();
// The density the system's metrics (the message font) are given at: the
// screen's, except that a program that has not declared itself aware of the
// density may get them at 96 while the screen is denser (Wine does so).
int MetricsPixelsPerInch();

// The RGB value of a colour that may name a system colour (0x80000000 + index).
COLORREF ColorOf(std::uint32_t color);

}  // namespace platform
