// Drawing of the toolkit's bitmap buttons: a push button with a glyph left
// of its caption, the glyph's bottom-left colour shown as transparent.
#pragma once

#include <windows.h>

#include <string>

namespace platform {

// A bitmap resource of the module by name (code page 936); null when absent.
HBITMAP LoadGlyph(HINSTANCE module, const std::string& name);

// Draws an owner-drawn button: frame (with the default button's dark
// outline when looksDefault), glyph and caption, pressed and focus states.
void DrawBitBtn(const DRAWITEMSTRUCT& item, const std::wstring& caption, HBITMAP glyph, bool looksDefault);

}  // namespace platform
