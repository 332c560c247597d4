#include "ui/help_launcher.h"

#include <windows.h>

#include "win/shell.h"
#include "win/system_library.h"

namespace ui {

std::wstring HelpFilePathFor(const std::wstring& programPath) {
    // The drive is "X:" when the path starts so; the directory runs up to and
    // including the last separator of either kind (as _splitpath splits).
    std::wstring drive;
    std::wstring rest = programPath;
    if (rest.size() >= 2 && rest[1] == L':') {
        drive = rest.substr(0, 2);
        rest.erase(0, 2);
    }
    const std::wstring::size_type last = rest.find_last_of(L"\\/");
    const std::wstring directory =
        last == std::wstring::npos ? std::wstring() : rest.substr(0, last + 1);
    return drive + directory + kHelpFileName;
}

std::wstring HelpLauncher::HelpFilePath() const {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    // A truncated name may come back without its terminator.
    return HelpFilePathFor(std::wstring(path, length < MAX_PATH ? length : MAX_PATH - 1));
}

void HelpLauncher::OpenTopic(const char* topic) const {
    const std::string page = topic ? topic : "";
    const std::wstring viewer = win::InWindowsFolder(kHelpViewer);
    if (viewer.empty()) return;  // never the bare name
    win::ShellOpen(nullptr, viewer, HelpFilePath() + std::wstring(page.begin(), page.end()));
}

}  // namespace ui
