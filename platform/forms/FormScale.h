// Forms are designed at a fixed density (their PixelsPerInch); on a screen
// of another density their positions, sizes and font are scaled once, when
// they are created, so they look the same size to the eye.
#pragma once

#include "platform/forms/Components.h"

namespace platform {

// value * numerator / denominator, rounded half away from zero (as Win32's
// MulDiv); 0 when the denominator is 0.
int MulDivRound(int value, int numerator, int denominator);

// Scales the form's client size, font height and every control placed on it
// (at any depth) from the form's PixelsPerInch to screenDpi, which becomes
// its PixelsPerInch. The form's own position is left alone. The client size
// must be known (ClientWidth/ClientHeight) before this runs.
void ScaleForm(TForm& form, int screenDpi);

// Copies the font's settings into `to`, which keeps its own density: the
// height is converted, so the characters keep their size to the eye.
void AssignFont(TFont& to, const TFont& from);

}  // namespace platform
