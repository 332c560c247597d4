// Window placement shared by every dialog, and the waits that keep a
// thread's windows answering.
#pragma once

#include <windows.h>

#include <cstdint>

namespace win {

// The work area of the monitor nearest to `window` (or the primary one).
RECT WorkArea(HWND window);

// Centres `window` over `reference` when that is visible, not minimised and
// not empty (0 x 0), otherwise in the work area; then moves it back inside the work area
// wherever it would stick out. Position only: size and Z order are kept.
void CenterWindow(HWND window, HWND reference);

// Dispatches every message waiting for the calling thread's windows. The
// program posts no WM_QUIT: every message goes to its window.
void DispatchThreadMessages();

// Waits up to ms milliseconds, returning sooner when a message arrives, and
// dispatches what came meanwhile: a thread that waits for the network this
// way keeps its windows painting and answering (Windows marks a window that
// handles no message for 5 s as not responding).
void HandleMessagesFor(std::uint32_t ms);

}  // namespace win
