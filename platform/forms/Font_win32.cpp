#include "platform/forms/Font_win32.h"

#include <cwchar>

#include "platform/runtime/SystemFunctions_win32.h"
#include "platform/runtime/TextConvert.h"
#include "platform/runtime/UniqueResource.h"

namespace platform {
namespace {

// The screen's context from GetDC(nullptr) is released, not deleted.
void ReleaseScreenDC(HDC dc) { ReleaseDC(nullptr, dc); }

}  // namespace

int MetricsPixelsPerInch() {
    // GetDpiForSystem came with Windows 10; before it the metrics were always
    // at the screen's density.
    const auto query = DynGetDpiForSystem();
    const UINT dpi = query ? query() : 0;
    return dpi ? int(dpi) : ScreenPixelsPerInch();
}

int ScreenPixelsPerInch() {
    const UniqueResource<HDC, &ReleaseScreenDC> screen(GetDC(nullptr));
    const int dpi = screen.Get() ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
    return dpi > 0 ? dpi : 96;
}

HFONT CreateFontFor(const TFont& font) {
    LOGFONTW lf{};  // precisions, quality and pitch: 0, the defaults
    lf.lfHeight = font.Height;
    lf.lfWeight = font.Weight;
    lf.lfItalic = font.Italic;
    lf.lfUnderline = font.Underline;
    lf.lfStrikeOut = font.StrikeOut;
    lf.lfCharSet = BYTE(font.Charset);
    const std::wstring face = GbkToWide(font.Name);
    wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
    return CreateFontIndirectW(&lf);
}

TFont DescribeFont(HFONT handle) {
    TFont font;
    LOGFONTW lf{};
    if (!GetObjectW(handle, sizeof lf, &lf)) return font;
    font.Name = WideToGbk(lf.lfFaceName);
    font.Height = lf.lfHeight;
    font.Charset = lf.lfCharSet;
    font.Weight = lf.lfWeight;
    font.Italic = lf.lfItalic != 0;
    font.Underline = lf.lfUnderline != 0;
    font.StrikeOut = lf.lfStrikeOut != 0;
    return font;
}

COLORREF ColorOf(std::uint32_t color) {
    if (color & 0x80000000u) return GetSysColor(int(color & 0xFFu));
    return COLORREF(color & 0x00FFFFFFu);
}

}  // namespace platform
