#include "ui/help_launcher.h"

#include <windows.h>

#include "win/shell.h"

namespace ui {

std::string HelpFilePathFor(const std::string& programPath) {
    // The drive is "X:" when the path starts so; the directory runs up to and
    // including the last separator of either kind (as _splitpath splits).
    std::string drive;
    std::string rest = programPath;
    if (rest.size() >= 2 && rest[1] == ':') {
        drive = rest.substr(0, 2);
        rest.erase(0, 2);
    }
    const std::string::size_type last = rest.find_last_of("\\/");
    const std::string directory = last == std::string::npos ? std::string() : rest.substr(0, last + 1);
    return drive + directory + kHelpFileName;
}

std::string HelpLauncher::HelpFilePath() const {
    char path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    // A truncated name may come back without its terminator.
    path[MAX_PATH - 1] = '\0';
    if (length == 0) path[0] = '\0';
    return HelpFilePathFor(path);
}

void HelpLauncher::OpenTopic(const char* topic) const {
    const std::string parameter = HelpFilePath() + (topic ? topic : "");
    win::ActiveShell().Execute(nullptr, "open", kHelpViewer, parameter.c_str(), nullptr, SW_SHOW);
}

}  // namespace ui
