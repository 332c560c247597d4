// Opens a page of the online help, "Help.chm" beside the program, in the
// HTML help viewer. Nothing is waited for and no outcome is checked.
#pragma once

#include <string>

namespace ui {

// The pages the program opens.
constexpr char kTopicIpSetup[] = "::/HTML/T040IP.html";
constexpr char kTopicResult[] = "::/HTML/T660APRESULT.html";
constexpr char kTopicRescanNotFound[] = "::/HTML/T922SCN.html";
constexpr char kTopicNotFound[] = "::/HTML/T110NOT_FOUND.html";
constexpr char kTopicSeveral[] = "::/HTML/T120MULTIPUL.html";
constexpr char kTopicAddressChange[] = "::/HTML/T150CNT_CHANGE.html";
constexpr char kTopicOpenFailed[] = "::/HTML/T130CNT_OPEN.html";

constexpr wchar_t kHelpFileName[] = L"Help.chm";
constexpr wchar_t kHelpViewer[] = L"hh.exe";

// The drive and the directory of `programPath` (separators kept) followed by
// "Help.chm". Bounded by the path itself: any length is split safely.
std::wstring HelpFilePathFor(const std::wstring& programPath);

class HelpLauncher {
public:
    virtual ~HelpLauncher() = default;

    // The help file beside the running program, read wide: a folder named
    // outside the system's code page keeps its name.
    std::wstring HelpFilePath() const;
    // Asks the shell to start "hh.exe" with the help file path and `topic`
    // joined directly, unquoted. The viewer is named by its full path in the
    // Windows folder: for a bare name the shell looks in the current folder
    // first, the program's own when it was double-clicked there, where a
    // planted hh.exe would run. Any thread with a win::ComApartment.
    void OpenTopic(const char* topic) const;
};

}  // namespace ui
