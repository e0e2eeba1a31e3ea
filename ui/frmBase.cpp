#include "ui/frmBase.h"

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

}  // namespace

TBaseForm::TBaseForm(platform::TComponent* owner) : TForm(owner) { ReadDesign(); }

void TBaseForm::FormCreate(platform::TComponent*) {
    ApplySystemFont();
    GetTranslator().TranslateForm(*this);
}

void TBaseForm::ApplySystemFont() { platform::AssignFont(Font, GetSystemFont()); }

void TBaseForm::CenterOnWindow(HWND window) {
    RECT r;
    if (!GetWindowRect(window, &r) && !SystemParametersInfoA(SPI_GETWORKAREA, 0, &r, 0)) {
        r = RECT{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    }
    // Integer division truncates toward zero; a form larger than r may start
    // left of it or above it.
    Left = r.left + (r.right - r.left - Width) / 2;
    Top = r.top + (r.bottom - r.top - Height) / 2;
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
