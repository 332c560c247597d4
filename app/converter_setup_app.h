// The application object: start-up with the single-instance rule, then the
// result window's modal run. There is no main message loop of our own.
#pragma once

#include <windows.h>

#include "ui/result_window.h"

namespace app {

// The first top-level window, in stacking order from the top, that carries
// the single-instance marker (hidden and minimised ones included), else null.
HWND FindRunningCopy();

// Brings the running copy's most recently active popup (or the window itself)
// to the foreground. false when no copy runs.
bool ActivateRunningCopy();

// The entry points the program's result window gets.
ui::ResultWindowEntryPoints ProgramEntryPoints();

class ConverterSetupApp {
public:
    // The start-up step. Always false: no message loop follows.
    bool InitInstance(const ui::ResultWindowEntryPoints& entryPoints = ProgramEntryPoints());

    // The main window once it was created, else null. It is never freed: a
    // flow thread may still use it, its progress display and its records
    // after its modal run has ended, until the process ends.
    ui::ResultWindow* mainWindow() const { return mainWindow_; }

private:
    ui::ResultWindow* mainWindow_ = nullptr;
};

}  // namespace app
