#include "win/shell.h"

#include <shellapi.h>

#include <atomic>

namespace win {
namespace {

class PlatformShell final : public Shell {
public:
    std::intptr_t Execute(HWND owner, const char* verb, const char* file, const char* parameters,
                          const char* directory, int show) override {
        return reinterpret_cast<std::intptr_t>(
            ShellExecuteA(owner, verb, file, parameters, directory, show));
    }
};

PlatformShell g_platformShell;
std::atomic<Shell*> g_shell{nullptr};

}  // namespace

Shell& ActiveShell() {
    Shell* shell = g_shell.load(std::memory_order_acquire);
    return shell ? *shell : g_platformShell;
}

void SetShell(Shell* shell) { g_shell.store(shell, std::memory_order_release); }

}  // namespace win
