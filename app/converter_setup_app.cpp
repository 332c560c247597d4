#include "app/converter_setup_app.h"

#include <memory>

#include "flow/initial_scan_flow.h"
#include "flow/setup_page_launcher.h"

namespace app {

HWND FindRunningCopy() {
    for (HWND window = GetWindow(GetDesktopWindow(), GW_CHILD); window;
         window = GetWindow(window, GW_HWNDNEXT)) {
        if (GetPropA(window, ui::kInstanceProperty)) return window;
    }
    return nullptr;
}

bool ActivateRunningCopy() {
    HWND running = FindRunningCopy();
    if (!running) return false;
    HWND popup = GetLastActivePopup(running);
    SetForegroundWindow(popup ? popup : running);
    return true;
}

namespace {

[[noreturn]] void EndProcess(int status) {
    // Straight out, from whichever thread: nothing may wait for the window
    // thread or run destructors that touch its windows.
    ExitProcess(static_cast<UINT>(status));
}

}  // namespace

ui::ResultWindowEntryPoints ProgramEntryPoints() {
    ui::ResultWindowEntryPoints entryPoints;
    entryPoints.initialScanFlow = &flow::InitialScanFlow;
    entryPoints.launchSelected = &flow::LaunchSelected;
    entryPoints.endProcess = &EndProcess;
    return entryPoints;
}

bool ConverterSetupApp::InitInstance() {
    // A running copy is activated and this one ends without a word.
    if (ActivateRunningCopy()) return false;

    auto window = std::make_unique<ui::ResultWindow>(ProgramEntryPoints());
    mainWindow_ = window.get();
    window->DoModal(nullptr);
    mainWindow_ = nullptr;
    window.reset();
    return false;
}

}  // namespace app
