// The shell's "open" action (the help viewer and the browser are both started
// through it) behind one seam, so that tests can record the calls instead of
// starting programs.
#pragma once

#include <windows.h>

#include <cstdint>

namespace win {

class Shell {
public:
    virtual ~Shell() = default;
    // As ShellExecuteA: a value above 32 means success. Never waits for the
    // started program.
    virtual std::intptr_t Execute(HWND owner, const char* verb, const char* file,
                                  const char* parameters, const char* directory, int show) = 0;
};

// The shell every caller uses; any thread.
Shell& ActiveShell();
// Installs a replacement (tests); nullptr restores the platform's shell.
void SetShell(Shell* shell);

}  // namespace win
