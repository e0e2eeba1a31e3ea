// The floor of the property dialog: the platform's own modal dialog of the
// same size with the same two controls and texts, made from an in-memory
// template by DialogBoxIndirectParamW, with nothing of ours inside.
#pragma once

namespace perf {

// Shows it modally over no parent; returns the dialog's result (IDOK, IDCANCEL).
int ShowFloorDialog();

}  // namespace perf
