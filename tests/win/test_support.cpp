#include "tests/win/test_support.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#ifndef CS_TEST_DATA_DIR
#error "CS_TEST_DATA_DIR must name tests/data"
#endif

namespace cstest {
namespace {

// Every window test needs the common controls registered before the first
// dialog is created.
struct CommonControls {
    CommonControls() {
        INITCOMMONCONTROLSEX controls{};
        controls.dwSize = sizeof controls;
        controls.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;
        InitCommonControlsEx(&controls);
    }
} g_commonControls;

std::string Unescape(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size() && text[i + 1] == 'n') {
            out += '\n';
            ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace

std::intptr_t RecordingShell::Execute(HWND owner, const char* verb, const char* file,
                                      const char* parameters, const char* directory, int show) {
    std::lock_guard<std::mutex> hold(lock_);
    calls_.push_back({owner, verb ? verb : "", file ? file : "", parameters ? parameters : "",
                      directory != nullptr, show});
    return result;
}

std::vector<ShellCall> RecordingShell::Calls() const {
    std::lock_guard<std::mutex> hold(lock_);
    return calls_;
}

const std::map<UINT, ExpectedText>& ExpectedStrings() {
    static const std::map<UINT, ExpectedText> table = [] {
        std::map<UINT, ExpectedText> rows;
        std::ifstream file(CS_TEST_DATA_DIR "/strings.tsv", std::ios::binary);
        std::string line;
        while (std::getline(file, line)) {
            if (line.empty() || line[0] == '#') continue;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            const auto first = line.find('\t');
            const auto second = line.find('\t', first + 1);
            if (first == std::string::npos || second == std::string::npos) continue;
            rows[static_cast<UINT>(std::stoul(line.substr(0, first)))] = {
                Unescape(line.substr(first + 1, second - first - 1)), Unescape(line.substr(second + 1))};
        }
        return rows;
    }();
    EXPECT_FALSE(table.empty()) << "cannot read " CS_TEST_DATA_DIR "/strings.tsv";
    return table;
}

std::string Expected(UINT id, LANGID language) {
    const auto& table = ExpectedStrings();
    const auto row = table.find(id);
    EXPECT_NE(row, table.end()) << "no expected text for id " << id;
    return row == table.end() ? std::string() : row->second.In(language);
}

void PumpPending() {
    MSG message;
    for (int handled = 0; handled < 10000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);
         ++handled) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntilSignalled(HANDLE handle, DWORD limitMs) {
    const ULONGLONG end = GetTickCount64() + limitMs;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return false;
        const DWORD wait = MsgWaitForMultipleObjects(1, &handle, FALSE,
                                                     static_cast<DWORD>(end - now), QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) return true;
        if (wait != WAIT_OBJECT_0 + 1) return false;
        PumpPending();
    }
}

std::string TextOf(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return win::ToUtf8(text);
}

std::string ItemTextOf(HWND dialog, int id) { return TextOf(GetDlgItem(dialog, id)); }

RECT WindowRect(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return rect;
}

std::string LanguageName(const testing::TestParamInfo<LANGID>& info) {
    return info.param == win::kJapanese ? "Japanese" : "English";
}

std::string ToolText(HWND toolTip, HWND owner, HWND button, UINT* flags) {
    wchar_t buffer[512] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = owner;
    tool.uId = reinterpret_cast<UINT_PTR>(button);
    tool.lpszText = buffer;
    if (flags) {
        SendMessageW(toolTip, TTM_GETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&tool));
        *flags = tool.uFlags;
    }
    SendMessageW(toolTip, TTM_GETTEXTW, 512, reinterpret_cast<LPARAM>(&tool));
    return win::ToUtf8(buffer);
}

const std::vector<UINT> kTipMouseMessages = {WM_MOUSEMOVE,   WM_LBUTTONDOWN, WM_LBUTTONUP,
                                             WM_RBUTTONDOWN, WM_RBUTTONUP,   WM_MBUTTONDOWN,
                                             WM_MBUTTONUP};

std::vector<UINT> RelayedToToolTip(HWND toolTip, HWND control,
                                   const std::function<void(MSG*)>& preTranslate) {
    static std::vector<UINT>* relayed;
    std::vector<UINT> seen;
    relayed = &seen;
    auto spy = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                  DWORD_PTR) -> LRESULT {
        if (message == TTM_RELAYEVENT && lParam) {
            relayed->push_back(reinterpret_cast<const MSG*>(lParam)->message);
        }
        return DefSubclassProc(window, message, wParam, lParam);
    };
    EXPECT_TRUE(SetWindowSubclass(toolTip, spy, 1, 0));
    for (UINT message = WM_MOUSEFIRST; message <= WM_MBUTTONDBLCLK + 1; ++message) {
        MSG msg{control, message, 0, 0, 0, {}};
        preTranslate(&msg);
    }
    RemoveWindowSubclass(toolTip, spy, 1);
    relayed = nullptr;
    return seen;
}

}  // namespace cstest
