#include "platform/forms/FormScale.h"

#include <cstdint>
#include <cstdlib>

namespace platform {
namespace {

void ScaleControls(TWinControl& parent, int num, int den) {
    for (TControl* c : parent.Controls()) {
        c->Left = MulDivRound(c->Left, num, den);
        c->Top = MulDivRound(c->Top, num, den);
        c->Width = MulDivRound(c->Width, num, den);
        c->Height = MulDivRound(c->Height, num, den);
        if (auto* w = dynamic_cast<TWinControl*>(c)) ScaleControls(*w, num, den);
    }
}

}  // namespace

int MulDivRound(int value, int numerator, int denominator) {
    if (denominator == 0) return 0;
    const std::int64_t product = std::int64_t(value) * numerator;
    const std::int64_t divisor = std::abs(std::int64_t(denominator));
    const std::int64_t quotient = (std::abs(product) + divisor / 2) / divisor;  // halves away from zero
    return int((product < 0) != (denominator < 0) ? -quotient : quotient);
}

void ScaleForm(TForm& form, int screenDpi) {
    const int designDpi = form.PixelsPerInch;
    if (screenDpi <= 0 || designDpi <= 0 || screenDpi == designDpi) return;
    form.ClientWidth = MulDivRound(form.ClientWidth, screenDpi, designDpi);
    form.ClientHeight = MulDivRound(form.ClientHeight, screenDpi, designDpi);
    form.Font.Height = MulDivRound(form.Font.Height, screenDpi, designDpi);
    form.Font.PixelsPerInch = screenDpi;
    ScaleControls(form, screenDpi, designDpi);
    form.PixelsPerInch = screenDpi;
}

void AssignFont(TFont& to, const TFont& from) {
    const int density = to.PixelsPerInch;
    to = from;
    to.PixelsPerInch = density;
    if (density > 0 && from.PixelsPerInch > 0) to.Height = MulDivRound(from.Height, density, from.PixelsPerInch);
}

}  // namespace platform
