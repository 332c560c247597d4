// What every in-process window test shares: the expected texts from
// tests/data, one log of what the user would have seen (notices and message
// boxes, answered as they open, and the shell's calls), a scripted socket port
// in place of the network, and the result window opened as a flow leaves it.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/address_text.h"
#include "res/resource.h"
#include "tests/host/net/scripted_port.h"
#include "ui/help_launcher.h"
#include "ui/notice_dialog.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"
#include "win/language.h"
#include "win/shell.h"
#include "win/window_util.h"

namespace cstest {

// tests/data/NAME.tsv: the first column names the row, "\n" is a line feed.
inline std::map<std::string, std::vector<std::string>> ReadTsv(const std::string& name) {
    std::map<std::string, std::vector<std::string>> rows;
    std::ifstream file(CS_TEST_DATA_DIR "/" + name + ".tsv", std::ios::binary);
    for (std::string line; std::getline(file, line);) {
        for (std::size_t at; (at = line.find("\\n")) != std::string::npos;) line.replace(at, 2, "\n");
        std::vector<std::string> cells;
        for (std::size_t start = 0, tab = 0; tab != std::string::npos; start = tab + 1) {
            tab = line.find('\t', start);
            cells.push_back(line.substr(start, tab - start));
        }
        if (line[0] != '#' && cells.size() > 1) rows[cells[0]].assign(cells.begin() + 1, cells.end());
    }
    return rows;
}

// A cell of tests/data/FILE.tsv: the row named `key`, `column` after the name.
inline std::string Expected(const std::string& file, const std::string& key, std::size_t column) {
    static std::map<std::string, std::map<std::string, std::vector<std::string>>> files;
    if (!files.count(file)) files[file] = ReadTsv(file);
    const auto row = files[file].find(key);
    return row == files[file].end() ? "(no " + key + " in " + file + ")" : row->second.at(column);
}
inline std::string Text(UINT id, LANGID language = win::kEnglish) {
    return Expected("strings", std::to_string(id), language == win::kJapanese);
}
inline std::string Fixed(const std::string& key) { return Expected("fixed_texts", key, 0); }

inline std::string TextOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return win::ToUtf8(text);
}

// The tip control a dialog created for its buttons.
inline HWND TipOf(HWND dialog) {
    HWND tip = nullptr;
    while ((tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr)) && GetWindow(tip, GW_OWNER) != dialog) {}
    return tip;
}

// The visible dialog of type T on this thread, if any.
template <class T>
HWND Shown() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM out) -> BOOL {
        if (IsWindowVisible(window) && dynamic_cast<T*>(win::Dialog::FromHandle(window))) {
            *reinterpret_cast<HWND*>(out) = window;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

// What the user saw and the shell was asked, in order, each with the status
// window it appeared over.
inline std::vector<std::string> g_events;
inline void Log(std::string what) {
    if (Shown<ui::ProgressWindow>()) what += " +progress";
    if (Shown<ui::LaunchingWindow>()) what += " +launching";
    g_events.push_back(what);
}

inline std::string Notice(int code, UINT id) { return "notice " + std::to_string(code) + ": " + Text(id); }
inline std::string Help(const std::string& topicKey) {
    return "shell hh.exe " + ui::HelpLauncher().HelpFilePath() + Fixed(topicKey);
}
inline std::string Box(const std::string& caption, const std::string& text) {
    return "box " + caption + ": " + text;
}

class Shell : public win::Shell {
public:
    Shell() { win::SetShell(this); }
    ~Shell() override { win::SetShell(nullptr); }
    std::intptr_t Execute(HWND, const char* verb, const char* file, const char* parameters,
                          const char* directory, int show) override {
        EXPECT_TRUE(std::string(verb) == "open" && !directory && show == SW_SHOW);
        Log(std::string("shell ") + file + (parameters ? std::string(" ") + parameters : ""));
        return result;
    }
    std::intptr_t result = 42;
};

// What is wrong with where a notice or message box stands: each is owned by
// the window it answers for, which takes no input meanwhile, and is centred
// where the user looks, never in the screen's corner.
inline std::string Misplaced(HWND box) {
    std::string flags;
    HWND owner = GetWindow(box, GW_OWNER);
    if (!owner) flags += " +unowned";
    if (owner && IsWindowEnabled(owner)) flags += " +owner-enabled";
    RECT rect{};
    GetWindowRect(box, &rect);
    const RECT work = win::WorkArea(box);
    if (rect.left == work.left && rect.top == work.top) flags += " +corner";
    return flags;
}

// Logs every notice and message box this thread opens, with what is wrong
// with its place, and answers it the moment it has initialised: Yes (1) or
// No (2); a box without Yes gets OK.
class Answerer {
public:
    Answerer() { hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, &Hook, nullptr, GetCurrentThreadId()); }
    ~Answerer() { UnhookWindowsHookEx(hook_); }
    static inline int answer = 1;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        const bool opened = code == HC_ACTION && call->message == WM_INITDIALOG;
        HWND box = call->hwnd;
        win::Dialog* dialog = opened ? win::Dialog::FromHandle(box) : nullptr;
        int button = 0;
        if (auto* notice = dynamic_cast<ui::NoticeDialog*>(dialog)) {
            Log("notice " + std::to_string(notice->code) + ": " + TextOf(GetDlgItem(box, IDC_NOTICE_TEXT)) +
                Misplaced(box));
            button = answer == 1 ? IDOK : IDCANCEL;
        } else if (opened && !dialog) {  // a message box
            Log(Box(TextOf(box), TextOf(GetDlgItem(box, 0xFFFF))) + Misplaced(box));
            button = !GetDlgItem(box, IDYES) ? IDOK : answer == 1 ? IDYES : IDNO;
        }
        if (button) PostMessageW(box, WM_COMMAND, button, 0);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_;
};

// A discovery reply of a converter named `name` at `address`, its MAC ending in `mac`.
inline std::vector<std::uint8_t> Converter(const std::string& name, const std::string& address, int mac) {
    net::fake::ReplyFields fields;
    fields.name = name;
    net::AddressToBytes(net::InetAddr(address.c_str()), fields.address);
    fields.mac[5] = static_cast<std::uint8_t>(mac);
    return net::fake::Reply(fields);
}

inline void FillTable(const std::vector<std::vector<std::uint8_t>>& replies) {
    for (std::size_t i = 0; i < replies.size(); ++i) {
        std::memcpy(net::g_deviceTable[i].bytes, replies[i].data(), net::kDatagramSize);
    }
}

// The scripted port, with a say in what a scan leaves and in every send.
struct Port : net::fake::ScriptedPort {
    std::function<void()> afterScan, onSend;
    bool StartThread(void (*body)()) override {
        const bool started = ScriptedPort::StartThread(body);
        if (afterScan) afterScan();
        return started;
    }
    int SendTo(net::SocketHandle socket, const std::uint8_t* data, std::size_t length,
               std::uint32_t address, std::uint16_t port) override {
        if (onSend) onSend();
        return ScriptedPort::SendTo(socket, data, length, address, port);
    }
};

// A scan that reports 65 records over a table of 64 supported converters.
inline void SixtyFiveRecords(Port& port) {
    port.afterScan = [] {
        std::vector<std::vector<std::uint8_t>> table;
        for (int i = 0; i < net::kDeviceTableCapacity; ++i) {
            table.push_back(Converter("ZTL-BR720", "10.0.0." + std::to_string(i), i));
        }
        FillTable(table);
        net::g_scanState.count = net::kDeviceTableCapacity + 1;
    };
}

// Every row of every table starts from a PC with one Ethernet interface,
// 192.168.0.2/24, no converter, nothing seen, Yes to every question.
class WinTest : public testing::Test {
protected:
    void SetUp() override { Reset(); }
    void TearDown() override { net::SetActivePort(nullptr); }
    void Reset() {
        port = std::make_unique<Port>();
        port->interfaces = {{0x13, net::fake::Ip(192, 168, 0, 2), net::fake::Ip(255, 255, 255, 0)}};
        port->hostAddress = port->interfaces[0].address;
        net::SetActivePort(port.get());
        shell.result = 42;
        Answerer::answer = 1;
        g_events.clear();
    }
    // A result window as the initial flow leaves it when the program runs on:
    // its progress window closed and Scan enabled.
    static void Open(ui::ResultWindow& window) {
        ASSERT_TRUE(window.Create(nullptr));
        SendMessageW(ui::ResultWindow::InitialContext().progressWindow->hwnd(), WM_CLOSE, 0, 0);
        EnableWindow(window.Item(IDC_SCAN), TRUE);
    }

    std::unique_ptr<Port> port;
    Shell shell;
    Answerer answerer;
};

// The rows of a list as "name|address|mac".
inline std::vector<std::string> Rows(HWND list) {
    std::vector<std::string> rows;
    for (int row = 0; row < ListView_GetItemCount(list); ++row) {
        std::string texts;
        for (int column = 0; column < 3; ++column) {
            char text[80] = {};
            ListView_GetItemText(list, row, column, text, sizeof text);
            texts += (column ? "|" : "") + std::string(text);
        }
        rows.push_back(texts);
    }
    return rows;
}

}  // namespace cstest
