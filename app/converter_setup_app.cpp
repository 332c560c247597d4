#include "app/converter_setup_app.h"

#include "flow/initial_scan_flow.h"
#include "flow/rescan_flow.h"
#include "flow/setup_page_launcher.h"
#include "win/com.h"

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
    entryPoints.rescanFlow = &flow::RescanFlow;
    entryPoints.launchSelected = &flow::LaunchSelected;
    entryPoints.endProcess = &EndProcess;
    return entryPoints;
}

bool ConverterSetupApp::InitInstance(const ui::ResultWindowEntryPoints& entryPoints) {
    // A running copy is activated and this one ends without a word.
    if (ActivateRunningCopy()) return false;

    // This thread serves the windows, and opens pages and help from them.
    const win::ComApartment com;
    // Close during a scan ends the modal run while the flow thread still
    // works with the window: it stays allocated until the process ends.
    mainWindow_ = new ui::ResultWindow(entryPoints);
    mainWindow_->DoModal(nullptr);
    return false;
}

}  // namespace app
