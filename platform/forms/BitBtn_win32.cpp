#include "platform/forms/BitBtn_win32.h"

#include "platform/forms/DrawScope_win32.h"
#include "platform/runtime/Handles_win32.h"
#include "platform/runtime/TextConvert.h"

namespace platform {
namespace {

constexpr int kSpacing = 4;  // between glyph and caption

SIZE BitmapSize(HBITMAP bitmap) {
    BITMAP bm{};
    if (!bitmap || !GetObjectW(bitmap, sizeof bm, &bm)) return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}

// Copies the glyph onto dc at (x, y), leaving the pixels of its transparent
// colour (that of its bottom-left pixel) as they are.
void DrawTransparent(HDC dc, HBITMAP glyph, int x, int y) {
    const SIZE size = BitmapSize(glyph);
    UniqueDC source(CreateCompatibleDC(dc)), mask(CreateCompatibleDC(dc)), image(CreateCompatibleDC(dc));
    UniqueBitmap maskBits(CreateBitmap(size.cx, size.cy, 1, 1, nullptr));
    UniqueBitmap imageBits(CreateCompatibleBitmap(dc, size.cx, size.cy));
    Selection s1(source.Get(), glyph), s2(mask.Get(), maskBits.Get()), s3(image.Get(), imageBits.Get());

    // Mask: white where the glyph is transparent, black where it draws.
    SetBkColor(source.Get(), GetPixel(source.Get(), 0, size.cy - 1));
    BitBlt(mask.Get(), 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
    // Image: the glyph with its transparent pixels black.
    BitBlt(image.Get(), 0, 0, size.cx, size.cy, source.Get(), 0, 0, SRCCOPY);
    SetBkColor(image.Get(), RGB(0, 0, 0));
    SetTextColor(image.Get(), RGB(255, 255, 255));
    BitBlt(image.Get(), 0, 0, size.cx, size.cy, mask.Get(), 0, 0, SRCAND);
    // Keep the background under the transparent pixels, then add the image.
    const COLORREF oldBk = SetBkColor(dc, RGB(255, 255, 255));
    const COLORREF oldText = SetTextColor(dc, RGB(0, 0, 0));
    BitBlt(dc, x, y, size.cx, size.cy, mask.Get(), 0, 0, SRCAND);
    BitBlt(dc, x, y, size.cx, size.cy, image.Get(), 0, 0, SRCPAINT);
    SetBkColor(dc, oldBk);
    SetTextColor(dc, oldText);
}

void DrawFrame(HDC dc, RECT& r, bool pressed, bool looksDefault) {
    if (looksDefault) {
        FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
    }
    if (pressed && looksDefault) {
        // The default button pressed: flat, as the system draws it.
        FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
        FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
    } else {
        DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED : 0));
    }
    InflateRect(&r, -2, -2);
}

}  // namespace

// Kept as the resource's own device-independent bitmap: converting it to the
// screen's format on every showing made the load two to three times as slow
// under Wine.
HBITMAP LoadGlyph(HINSTANCE module, const std::string& name) {
    const std::wstring wide = GbkToWide(name);
    return static_cast<HBITMAP>(LoadImageW(module, wide.c_str(), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

void DrawBitBtn(const DRAWITEMSTRUCT& item, const std::wstring& caption, HBITMAP glyph, bool looksDefault) {
    HDC dc = item.hDC;
    RECT r = item.rcItem;
    const bool pressed = item.itemState & ODS_SELECTED;
    const bool disabled = item.itemState & ODS_DISABLED;
    DrawFrame(dc, r, pressed, looksDefault);
    const RECT focusRect = r;
    if (pressed) OffsetRect(&r, 1, 1);

    RECT textSize{0, 0, 0, 0};
    DrawTextW(dc, caption.c_str(), int(caption.size()), &textSize, DT_CALCRECT | DT_SINGLELINE);
    const SIZE glyphSize = BitmapSize(glyph);
    const int textWidth = textSize.right - textSize.left;
    const int gap = glyphSize.cx > 0 && textWidth > 0 ? kSpacing : 0;
    const int left = r.left + (r.right - r.left - (glyphSize.cx + gap + textWidth)) / 2;
    if (glyph) DrawTransparent(dc, glyph, left, r.top + (r.bottom - r.top - glyphSize.cy) / 2);

    RECT text{left + glyphSize.cx + gap, r.top, r.right, r.bottom};
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
    DrawTextW(dc, caption.c_str(), int(caption.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_LEFT);

    if (item.itemState & ODS_FOCUS) {
        RECT f = focusRect;
        InflateRect(&f, -1, -1);
        DrawFocusRect(dc, &f);
    }
}

}  // namespace platform
