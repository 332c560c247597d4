// The shell's "open" action (the help viewer and the browser are both started
// through it) and its "runas" behind one seam, so that tests can record the
// calls instead of starting programs.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

namespace win {

class Shell {
public:
    virtual ~Shell() = default;
    // As ShellExecuteExW: FALSE when the shell could not do it.
    virtual BOOL Execute(SHELLEXECUTEINFOW* info) = 0;
};

// The shell every caller uses; any thread.
Shell& ActiveShell();
// Installs a replacement (tests); nullptr restores the platform's shell.
void SetShell(Shell* shell);

// The mask of every open: the call has finished when it returns, since the
// process may end right after (SEE_MASK_NOASYNC), and failures come back to
// the caller, which reports them, instead of a message box of the shell's own
// that would block the calling thread (SEE_MASK_FLAG_NO_UI).
constexpr ULONG kShellOpenMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;

// Asks the shell to "open" `file` with `parameters` (none when empty), no
// working directory, SW_SHOW, on a thread that holds a ComApartment. Never
// waits for the program started. false when the shell could not open it.
bool ShellOpen(HWND owner, const std::wstring& file, const std::wstring& parameters = {});

// What became of a program started elevated.
struct ElevatedRun {
    enum Outcome { kDeclined, kNotStarted, kEnded };
    Outcome outcome = kNotStarted;
    DWORD error = 0;     // kDeclined, kNotStarted: the shell's or the wait's
    DWORD exitCode = 0;  // kEnded: the program's
};

// The mask of "runas": the process's handle to wait for and read its end
// from (SEE_MASK_NOCLOSEPROCESS), which the call holds when it returns
// (SEE_MASK_NOASYNC); failures are the caller's to report, as for an open
// (SEE_MASK_FLAG_NO_UI: the shell's error boxes only, never the User Account
// Control prompt, which is Windows' own).
constexpr ULONG kShellElevateMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;

// Starts `file` with `parameters` through "runas" (Windows asks the user
// for an administrator's consent, its prompt owned by `owner`) and waits for
// it to end. Meanwhile `owner` is disabled, as for a modal window, and the
// calling thread's messages are dispatched: its windows paint and answer.
// kDeclined when the user said no at the prompt (ERROR_CANCELLED).
ElevatedRun RunElevated(HWND owner, const std::wstring& file, const std::wstring& parameters);

}  // namespace win
