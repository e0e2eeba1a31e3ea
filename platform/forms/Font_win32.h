// GDI fonts for the component model's font descriptions.
#pragma once

#include <windows.h>

#include "platform/forms/Components.h"
#include "platform/runtime/Handles_win32.h"

namespace platform {

// A font object: a description with the GDI handle it was made from, or
// the toolkit's defaults and no handle.
class TGdiFont {
public:
    TGdiFont() = default;
    TGdiFont(const TGdiFont&) = delete;
    TGdiFont& operator=(const TGdiFont&) = delete;

    // Takes over a handle made from the system's metrics (null is allowed)
    // and describes the font by it.
    void SetHandle(HFONT handle);
    HFONT Handle() const { return handle_.Get(); }
    const TFont& Font() const { return font_; }

private:
    TFont font_;
    UniqueFont handle_;
};

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
