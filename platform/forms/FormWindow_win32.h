// Showing forms of the component model as Win32 windows: a modal loop with
// key preview, Enter and Esc for the default and cancel buttons, Tab and
// SelectNext for the focus, owner windows, the screen's density.
#pragma once

#include <windows.h>

#include "platform/forms/Components.h"

namespace platform {

// Shows the form modally and returns its modal result: a button's result,
// or mrCancel when the form was closed from its title bar, its window was
// destroyed from outside (with its owner, say) or the thread was asked to
// quit (the quit request is posted again for the loop outside). The form's window is owned by ParentWindow when that
// is a window; the other windows of the thread are disabled meanwhile.
int ShowModal(TForm& form);

// Moves the focus from current to the next tab stop of the shown form (see
// FindNextControl in platform/forms/TabOrder.h).
void SelectNext(TForm& form, TWinControl* current);

}  // namespace platform
