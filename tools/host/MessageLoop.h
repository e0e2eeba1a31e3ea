// The host's message loop: a plain GetMessage/DispatchMessage loop that ends
// after a set time, or early on Ctrl+C.
#pragma once

// Returns false when Ctrl+C (or a WM_QUIT) ended the loop early.
bool RunMessageLoop(int seconds);
