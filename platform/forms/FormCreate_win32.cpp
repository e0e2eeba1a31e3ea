#include "platform/forms/FormCreate.h"
#include "platform/forms/FormScale.h"
#include "platform/forms/FormWindow_win32.h"

namespace platform {

void PrepareForm(TForm& form) {
    const FormStyle style = StyleOf(form);
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style.style, FALSE, style.exStyle);
    const int frameWidth = frame.right - frame.left, frameHeight = frame.bottom - frame.top;
    // A designed client size wins over a designed outer size.
    if (form.ClientWidth <= 0) form.ClientWidth = form.Width - frameWidth;
    if (form.ClientHeight <= 0) form.ClientHeight = form.Height - frameHeight;
    ScaleForm(form, ScreenPixelsPerInch());
    form.Width = form.ClientWidth + frameWidth;
    form.Height = form.ClientHeight + frameHeight;
}

}  // namespace platform
