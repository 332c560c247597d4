// Helpers for the in-process window tests: a shell that records instead of
// starting programs, the language switch, the expected string tables, and
// message pumping driven by the test rather than by time.
#pragma once

#include <windows.h>

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

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

}  // namespace cstest
