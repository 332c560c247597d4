// Helpers for the in-process window tests: a shell that records instead of
// starting programs, the language switch, the expected string tables, and
// message pumping driven by the test rather than by time.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "win/dialog.h"
#include "win/language.h"
#include "win/shell.h"

namespace cstest {

struct ShellCall {
    HWND owner;
    std::string verb;
    std::string file;
    std::string parameters;
    bool hasDirectory;
    int show;
};

class RecordingShell : public win::Shell {
public:
    RecordingShell() { win::SetShell(this); }
    ~RecordingShell() override { win::SetShell(nullptr); }

    std::intptr_t Execute(HWND owner, const char* verb, const char* file, const char* parameters,
                          const char* directory, int show) override;
    std::vector<ShellCall> Calls() const;

    std::intptr_t result = 42;

private:
    mutable std::mutex lock_;
    std::vector<ShellCall> calls_;
};

class LanguageScope {
public:
    explicit LanguageScope(LANGID language) : saved_(win::Language()) { win::SetLanguage(language); }
    ~LanguageScope() { win::SetLanguage(saved_); }

private:
    LANGID saved_;
};

struct ExpectedText {
    std::string english;
    std::string japanese;
    const std::string& In(LANGID language) const {
        return language == win::kJapanese ? japanese : english;
    }
};

// tests/data/strings.tsv, "\n" escapes turned into line feeds; fails the
// calling test when the file cannot be read.
const std::map<UINT, ExpectedText>& ExpectedStrings();
// The expected text of `id` in `language` (empty and a test failure if absent).
std::string Expected(UINT id, LANGID language);

// Handles every message queued for this thread now (a bounded number).
void PumpPending();
// Pumps (and serves sent messages) until `handle` is signalled or the bound
// of `limitMs` passes; true when signalled.
bool PumpUntilSignalled(HANDLE handle, DWORD limitMs = 10000);

std::string TextOf(HWND window);
std::string ItemTextOf(HWND dialog, int id);
RECT WindowRect(HWND window);

// The windows of this thread (hidden ones too) whose dialog object is a T.
template <class T>
std::vector<HWND> DialogsOnThisThread() {
    std::vector<HWND> found;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM out) -> BOOL {
            if (dynamic_cast<T*>(win::Dialog::FromHandle(window))) {
                reinterpret_cast<std::vector<HWND>*>(out)->push_back(window);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// The language parameter of the cases that run in both languages, and the
// name such a case gets: "English" or "Japanese".
inline auto BothLanguages() { return testing::Values(win::kEnglish, win::kJapanese); }
std::string LanguageName(const testing::TestParamInfo<LANGID>& info);

// The tip of `button` in `toolTip`, whose tools belong to `owner`; with
// `flags`, the tool's flags too.
std::string ToolText(HWND toolTip, HWND owner, HWND button, UINT* flags = nullptr);

// The mouse messages a window's tool tips are told about, in message order.
extern const std::vector<UINT> kTipMouseMessages;
// Passes every message from WM_MOUSEFIRST to one past WM_MBUTTONDBLCLK,
// addressed to `control`, to `preTranslate`; answers those that reached
// `toolTip` as TTM_RELAYEVENT.
std::vector<UINT> RelayedToToolTip(HWND toolTip, HWND control,
                                   const std::function<void(MSG*)>& preTranslate);

}  // namespace cstest
