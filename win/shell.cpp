#include "win/shell.h"

#include <objbase.h>

#include <atomic>

namespace win {
namespace {

class PlatformShell final : public Shell {
public:
    BOOL Execute(SHELLEXECUTEINFOW* info) override { return ShellExecuteExW(info); }
};

PlatformShell g_platformShell;
std::atomic<Shell*> g_shell{nullptr};

}  // namespace

Shell& ActiveShell() {
    Shell* shell = g_shell.load(std::memory_order_acquire);
    return shell ? *shell : g_platformShell;
}

void SetShell(Shell* shell) { g_shell.store(shell, std::memory_order_release); }

bool ShellOpen(HWND owner, const std::wstring& file, const std::wstring& parameters) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = kShellOpenMask;
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = file.c_str();
    info.lpParameters = parameters.empty() ? nullptr : parameters.c_str();
    info.nShow = SW_SHOW;
    return ActiveShell().Execute(&info) != FALSE;
}

// A thread that already has COM (of either kind) keeps it as it is.
ComApartment::ComApartment()
    : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}

ComApartment::~ComApartment() {
    if (initialised_) CoUninitialize();
}

}  // namespace win
