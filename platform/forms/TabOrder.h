// The order in which the focus visits a form's controls.
#pragma once

#include <vector>

#include "platform/forms/Components.h"

namespace platform {

// Whether the control can take the focus: it and every parent up to the
// root are visible and enabled.
bool CanFocus(const TControl& control);

// The windowed controls inside root, depth first: each parent's controls by
// TabOrder (those with -1 after the numbered ones, in placing order), every
// container followed by its own controls.
std::vector<TWinControl*> TabOrderList(TWinControl& root);

// The control that the focus moves to from current, forward or backward,
// wrapping around; only tab stops that can take the focus. With current null
// or not inside root, the first (or last) one. Null when none qualifies but
// current itself.
TWinControl* FindNextControl(TWinControl& root, TWinControl* current, bool goForward);

}  // namespace platform
