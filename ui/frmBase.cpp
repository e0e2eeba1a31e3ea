#include "ui/frmBase.h"

#include <algorithm>
#include <memory>

#include "platform/forms/Font_win32.h"
#include "platform/forms/FormScale.h"
#include "platform/runtime/Handles_win32.h"
#include "ui/unitTranslate.h"

namespace {

// The record size of the non-client metrics as the system has known it
// since before Vista's padded border; newer systems accept it too.
constexpr UINT kNonClientMetricsSize = 340;

std::unique_ptr<platform::TFont> g_sharedFont;

// Centred on `area` by the form's rule: integer division truncates toward
// zero, and a form larger than the area may start left of it or above it.
RECT CentredOn(const RECT& area, LONG width, LONG height) {
    const LONG left = area.left + (area.right - area.left - width) / 2;
    const LONG top = area.top + (area.bottom - area.top - height) / 2;
    return RECT{left, top, left + width, top + height};
}

bool Contains(const RECT& outer, const RECT& inner) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Null: the primary monitor's, or else the whole screen.
RECT WorkAreaOf(HMONITOR monitor) {
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoA(monitor, &info)) return info.rcWork;
    RECT primary{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &primary, 0);
    return primary;
}

// A minimised window's own rectangle lies far off every screen; the one it
// is restored to is kept in workspace coordinates, whose origin is the
// primary monitor's work area.
RECT RestoredRect(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    WINDOWPLACEMENT placement{};
    placement.length = sizeof placement;
    if (!IsIconic(window) || !GetWindowPlacement(window, &placement)) return r;
    const RECT primary = WorkAreaOf(nullptr);
    OffsetRect(&placement.rcNormalPosition, primary.left, primary.top);
    return placement.rcNormalPosition;
}

// Moves a span the least that puts it within [low, high), or at low when it
// is longer.
LONG Clamp(LONG start, LONG size, LONG low, LONG high) { return std::max(low, std::min(start, high - size)); }

// A modal form the user cannot reach leaves the host frozen. Off every
// monitor's work area (a minimised parent, one left on a monitor that is
// gone, one in a corner) the form goes into the work area of the monitor
// nearest the parent: centred on the parent's restored rectangle as near as
// the area allows, or on the area when that rectangle lies wholly off it.
RECT OnScreen(HWND window, const RECT& centred) {
    const LONG width = centred.right - centred.left, height = centred.bottom - centred.top;
    if (Contains(WorkAreaOf(MonitorFromRect(&centred, MONITOR_DEFAULTTONEAREST)), centred)) return centred;
    const RECT work = WorkAreaOf(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
    const RECT restored = RestoredRect(window);
    RECT overlap;
    if (!IntersectRect(&overlap, &restored, &work)) return CentredOn(work, width, height);
    const RECT around = CentredOn(restored, width, height);
    const LONG left = Clamp(around.left, width, work.left, work.right);
    const LONG top = Clamp(around.top, height, work.top, work.bottom);
    return RECT{left, top, left + width, top + height};
}

}  // namespace

TBaseForm::TBaseForm(platform::TComponent* owner) : TForm(owner) { ReadDesign(); }

void TBaseForm::FormCreate(platform::TComponent*) {
    ApplySystemFont();
    GetTranslator().TranslateForm(*this);
}

void TBaseForm::ApplySystemFont() { platform::AssignFont(Font, GetSystemFont()); }

void TBaseForm::CenterOnWindow(HWND window) {
    RECT r;
    if (!GetWindowRect(window, &r)) r = WorkAreaOf(nullptr);
    const RECT placed = OnScreen(window, CentredOn(r, Width, Height));
    Left = placed.left;
    Top = placed.top;
}

const platform::TFont& GetSystemFont() {
    if (g_sharedFont) return *g_sharedFont;
    g_sharedFont = std::make_unique<platform::TFont>();
    NONCLIENTMETRICSA metrics{};
    static_assert(sizeof metrics >= kNonClientMetricsSize, "the record must hold what the system writes");
    metrics.cbSize = kNonClientMetricsSize;
    if (!SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, 0, &metrics, 0)) return *g_sharedFont;
    // Described as GDI makes it; every form window makes its own font from
    // the description, so no handle is kept.
    const platform::UniqueFont made(CreateFontIndirectA(&metrics.lfMessageFont));
    if (made) {
        *g_sharedFont = platform::DescribeFont(made.Get());
        g_sharedFont->PixelsPerInch = platform::MetricsPixelsPerInch();
    }
    return *g_sharedFont;
}

namespace frmBase {

void Finalize() { g_sharedFont.reset(); }

}  // namespace frmBase
