// Window placement shared by every dialog.
#pragma once

#include <windows.h>

namespace win {

// The work area of the monitor nearest to `window` (or the primary one).
RECT WorkArea(HWND window);

// Centres `window` over `reference` when that is visible, not minimised and
// not empty (0 x 0), otherwise in the work area; then moves it back inside the work area
// wherever it would stick out. Position only: size and Z order are kept.
void CenterWindow(HWND window, HWND reference);

}  // namespace win
