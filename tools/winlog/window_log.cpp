// cs-winlog: records, in order, every dialog window another program shows
// and hides, with its title and the texts of its labels, buttons and
// read-only boxes, so an end-to-end test can check what the user saw, also
// windows that are on screen only for a moment (the launching notice during
// the shell call).
//
//   cs-winlog LOGFILE STOPFILE
//
// Writes "ready" first, then one line per change, UTF-8:
//   <unix time> show title="..." texts="a|b|c"
//   <unix time> hide title="..."
// and ends when STOPFILE exists. Windows of no size are left out: they show
// nothing. Texts are read with GetWindowTextW, which
// for another process's window asks the window server and never waits on the
// window's thread, so a thread blocked in a call does not stop the log.
#include <windows.h>

#include <cstdio>
#include <map>
#include <string>
#include <utility>

#include "tools/common/win_text.h"

namespace {

using cstools::ClassOf;
using cstools::Quote;
using cstools::TextOf;

// A read-only edit box's text (a notice's findings). An edit control's text
// lives in its own process, so it is asked for, briefly: a busy program
// shows nothing new anyway.
std::wstring BoxText(HWND box) {
    std::wstring text(16384, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(box, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(&text[0]),
                             SMTO_ABORTIFHUNG, 500, &copied)) {
        return L"";
    }
    text.resize(copied);
    return text;
}

// The title and the visible label, button and read-only box texts, in the
// template's order.
std::string Describe(HWND window) {
    std::wstring texts;
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        // The child's own flag: while its dialog is being hidden the child
        // still counts, so a closing window is not logged as a blank one.
        const LONG style = GetWindowLongW(child, GWL_STYLE);
        if (!(style & WS_VISIBLE)) continue;
        const std::wstring kind = ClassOf(child);
        const bool box = lstrcmpiW(kind.c_str(), L"Edit") == 0 && (style & ES_READONLY);
        if (lstrcmpiW(kind.c_str(), L"Static") != 0 && lstrcmpiW(kind.c_str(), L"Button") != 0 && !box) {
            continue;
        }
        const std::wstring text = box ? BoxText(child) : TextOf(child);
        if (text.empty()) continue;
        texts += (texts.empty() ? L"" : L"|") + text;
    }
    return "title=" + Quote(TextOf(window)) + " texts=" + Quote(texts);
}

struct Scan {
    DWORD self;
    std::map<HWND, std::string>* seen;
};

BOOL CALLBACK Collect(HWND window, LPARAM raw) {
    auto* scan = reinterpret_cast<Scan*>(raw);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid == scan->self || !IsWindowVisible(window)) return TRUE;
    if (ClassOf(window) != L"#32770") return TRUE;
    // A window of no size shows nothing (the main window while it hides).
    RECT rect{};
    GetWindowRect(window, &rect);
    if (rect.right <= rect.left || rect.bottom <= rect.top) return TRUE;
    std::string description = Describe(window);
    if (!IsWindowVisible(window)) return TRUE;
    // A dialog in the corner of the screen was centred over nothing the user
    // can see; the log says so.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    if (rect.left == monitor.rcWork.left && rect.top == monitor.rcWork.top) description += " at=corner";
    (*scan->seen)[window] = std::move(description);
    return TRUE;
}

double UnixNow() {
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    ULARGE_INTEGER ticks;
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    // 100 ns ticks since 1601.
    return static_cast<double>(ticks.QuadPart - 116444736000000000ULL) / 1e7;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: cs-winlog LOGFILE STOPFILE\n");
        return 2;
    }
    FILE* log = _wfopen(argv[1], L"ab");
    if (!log) {
        std::fprintf(stderr, "cs-winlog: cannot open the log\n");
        return 1;
    }
    std::fprintf(log, "ready\n");
    std::fflush(log);

    std::map<HWND, std::string> shown;
    // Bounded: a test that forgets its stop file does not leave it running.
    const ULONGLONG end = GetTickCount64() + 10 * 60 * 1000;
    while (GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES && GetTickCount64() < end) {
        std::map<HWND, std::string> now;
        Scan scan{GetCurrentProcessId(), &now};
        EnumWindows(&Collect, reinterpret_cast<LPARAM>(&scan));
        for (const auto& entry : shown) {
            if (!now.count(entry.first)) {
                const std::string& was = entry.second;
                std::fprintf(log, "%.6f hide %s\n", UnixNow(), was.substr(0, was.find(" texts=")).c_str());
            }
        }
        for (const auto& entry : now) {
            auto before = shown.find(entry.first);
            if (before == shown.end() || before->second != entry.second) {
                std::fprintf(log, "%.6f show %s\n", UnixNow(), entry.second.c_str());
            }
        }
        std::fflush(log);
        shown.swap(now);
        Sleep(1);
    }
    std::fclose(log);
    return 0;
}
