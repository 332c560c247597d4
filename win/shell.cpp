#include "win/shell.h"

#include <objbase.h>

#include <atomic>

#include "win/handles.h"

namespace win {
namespace {

class PlatformShell final : public Shell {
public:
    BOOL Execute(SHELLEXECUTEINFOW* info) override { return ShellExecuteExW(info); }
};

PlatformShell g_platformShell;
std::atomic<Shell*> g_shell{nullptr};

// No working directory: the program started is named by its full path.
SHELLEXECUTEINFOW Request(ULONG mask, HWND owner, const wchar_t* verb, const std::wstring& file,
                          const std::wstring& parameters, int show) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = mask;
    info.hwnd = owner;
    info.lpVerb = verb;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = show;
    return info;
}

}  // namespace

Shell& ActiveShell() {
    Shell* shell = g_shell.load(std::memory_order_acquire);
    return shell ? *shell : g_platformShell;
}

void SetShell(Shell* shell) { g_shell.store(shell, std::memory_order_release); }

bool ShellOpen(HWND owner, const std::wstring& file, const std::wstring& parameters) {
    SHELLEXECUTEINFOW info = Request(kShellOpenMask, owner, L"open", file, parameters, SW_SHOW);
    return ActiveShell().Execute(&info) != FALSE;
}

ElevatedRun RunElevated(HWND owner, const std::wstring& file, const std::wstring& parameters) {
    // The copy opens no window of its own.
    SHELLEXECUTEINFOW info = Request(kShellElevateMask, owner, L"runas", file, parameters, SW_HIDE);
    ElevatedRun run;
    if (!ActiveShell().Execute(&info)) {
        run.error = GetLastError();
        if (run.error == ERROR_CANCELLED) run.outcome = ElevatedRun::kDeclined;
        return run;
    }
    const UniqueKernelHandle process(info.hProcess);
    const HANDLE waitFor = process.get();
    const bool ownerWasEnabled = owner && !EnableWindow(owner, FALSE);
    DWORD waited;
    while ((waited = MsgWaitForMultipleObjects(1, &waitFor, FALSE, INFINITE, QS_ALLINPUT)) == WAIT_OBJECT_0 + 1) {
        // The program posts no WM_QUIT: every message goes to its window.
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    if (waited == WAIT_OBJECT_0 && GetExitCodeProcess(waitFor, &run.exitCode)) {
        run.outcome = ElevatedRun::kEnded;
    } else {
        run.error = GetLastError();
    }
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    return run;
}

}  // namespace win
