// What every in-process window test shares: the expected texts from
// tests/data, one log of what the user would have seen (notices and message
// boxes, answered as they open, and the shell's calls), a scripted socket port
// in place of the network, and the result window opened as a flow leaves it.
// Windows wants COM on every thread that asks the shell to open something;
// wine does not: the shell's stand-in marks each call from a thread without.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <new>
#include <string>
#include <vector>

#include "findings/windows_facts.h"
#include "findings/windows_neighbours.h"
#include "flow/ip_setup_dialog.h"
#include "flow/network_wait.h"
#include "net/address_text.h"
#include "res/resource.h"
#include "tests/host/net/scripted_port.h"
#include "ui/help_launcher.h"
#include "ui/notice_dialog.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"
#include "win/language.h"
#include "win/com.h"
#include "win/shell.h"
#include "win/window_util.h"

namespace cstest {

// tests/data/NAME.tsv, read once: the first column names the row, "\n" is a
// line feed.
using Table = std::map<std::string, std::vector<std::string>>;
inline const Table& Tsv(const std::string& name) {
    static std::map<std::string, Table> files;
    if (files.count(name)) return files[name];
    Table& rows = files[name];
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
    const auto row = Tsv(file).find(key);
    return row == Tsv(file).end() ? "(no " + key + " in " + file + ")" : row->second.at(column);
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
    return "shell " + Fixed("help_viewer_path") + " " + win::ToUtf8(ui::HelpLauncher().HelpFilePath()) +
           Fixed(topicKey);
}
inline std::string Box(const std::string& caption, const std::string& text) {
    return "box " + caption + ": " + text;
}

// Logs "shell FILE PARAMETERS", " +no-sta" from a thread without COM (STA);
// "runas FILE PARAMETERS mask MASK owner WINDOW" (a notice as "notice"),
// handing `process` over.
class Shell : public win::Shell {
public:
    Shell() { win::SetShell(this); }
    ~Shell() override { win::SetShell(nullptr); }
    BOOL Execute(SHELLEXECUTEINFOW* info) override {
        if (std::wstring(info->lpVerb) == L"runas") {
            const bool notice = dynamic_cast<ui::NoticeDialog*>(win::Dialog::FromHandle(info->hwnd)) != nullptr;
            Log("runas " + win::ToUtf8(info->lpFile) + " " + win::ToUtf8(info->lpParameters) + " mask " +
                std::to_string(info->fMask) + " owner " +
                (notice ? "notice" : std::to_string(reinterpret_cast<UINT_PTR>(info->hwnd))));
            info->hProcess = result ? process : nullptr;
            SetLastError(error);
            return result;
        }
        EXPECT_TRUE(std::wstring(info->lpVerb) == L"open" && !info->lpDirectory && info->nShow == SW_SHOW &&
                    info->fMask == (SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI));
        APTTYPE type{};
        APTTYPEQUALIFIER qualifier{};
        const bool sta = CoGetApartmentType(&type, &qualifier) == S_OK &&
                         (type == APTTYPE_STA || type == APTTYPE_MAINSTA);
        Log("shell " + win::ToUtf8(info->lpFile) +
            (info->lpParameters ? " " + win::ToUtf8(info->lpParameters) : "") + (sta ? "" : " +no-sta"));
        if (outOfMemory) throw std::bad_alloc();  // as the call's own allocations would
        return result;
    }
    BOOL result = TRUE;
    DWORD error = 0;
    HANDLE process = nullptr;
    bool outOfMemory = false;
};

// A copy of this program that has already ended with `exitCode`, as the launcher finds the elevated one.
inline HANDLE EndedCopy(DWORD exitCode) {
    wchar_t self[MAX_PATH] = {}, command[] = L"win_tests --gtest_list_tests";
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION copy{};
    CreateProcessW(self, command, {}, {}, FALSE, CREATE_SUSPENDED, {}, {}, &startup, &copy);
    CloseHandle(copy.hThread);
    TerminateProcess(copy.hProcess, exitCode);
    return copy.hProcess;
}

// Windows' facts when memory runs out: every read throws, as its lists'
// allocations would.
struct NoMemoryFacts : findings::FactsSource {
    bool ReadAdapters(std::vector<findings::AdapterEntry>*) override { throw std::bad_alloc(); }
    bool ReadNetworks(std::vector<findings::NetworkEntry>*) override { throw std::bad_alloc(); }
    findings::FirewallEntry ReadFirewall(const std::vector<std::string>&) override { throw std::bad_alloc(); }
};
inline NoMemoryFacts g_noMemoryFacts;

inline bool Fits(HWND control) {
    const std::wstring text = win::FromUtf8(TextOf(control));
    RECT client{};
    SIZE extent{};
    GetClientRect(control, &client);
    HDC dc = GetDC(control);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    ReleaseDC(control, dc);
    return extent.cx <= client.right;
}
// Windows' adapters as the scripted clock goes, each step from its time on;
// its reads counted, with the progress window's text where it changed ("-":
// none shown; " clipped": wider than its control, which Fits tells). The networks unread, the firewall a row's.
struct Adapters : findings::FactsSource {
    using Steps = std::vector<std::pair<std::uint64_t, std::vector<findings::AdapterEntry>>>;
    Steps steps;  // from this time on, these adapters
    int reads = 0;
    std::string progressTexts, last;
    bool ReadAdapters(std::vector<findings::AdapterEntry>* adapters) override {
        ++reads;
        HWND progress = Shown<ui::ProgressWindow>(), control = GetDlgItem(progress, IDC_STATUS_TEXT);
        const std::string text = progress ? TextOf(control) + (Fits(control) ? "" : " clipped") : "-";
        if (reads == 1 || text != last) progressTexts += (reads == 1 ? "" : "|") + text;
        last = text;
        for (const auto& [from, listed] : steps) *adapters = from <= net::ActivePort().NowMs() ? listed : *adapters;
        return true;
    }
    bool ReadNetworks(std::vector<findings::NetworkEntry>*) override { return false; }
    findings::FirewallEntry ReadFirewall(const std::vector<std::string>&) override { return firewall; }
    findings::FirewallEntry firewall;
};
// A public network whose firewall lets nothing of the program in: firewall-may-block on the PC's link.
const findings::FirewallEntry kBlocking{findings::kProfilePublic, {true, true, true}, {{}}};
// The PC's wired adapter with these addresses.
inline findings::AdapterEntry Wired(std::vector<findings::AdapterEntry::Ipv4> ipv4,
                                    unsigned operStatus = findings::kOperStatusUp) {
    return {"{1}", "Ethernet", findings::kIfTypeEthernet, operStatus, std::move(ipv4)};
}

// "WxH", " centred" when its centre is that of `over` (give or take a pixel),
// and " hidden" for a window that does not show.
inline std::string Geometry(HWND window, const RECT& over) {
    RECT own{};
    GetWindowRect(window, &own);
    const bool centred = std::abs(own.left + own.right - over.left - over.right) <= 1 &&
                         std::abs(own.top + own.bottom - over.top - over.bottom) <= 1;
    return std::to_string(own.right - own.left) + "x" + std::to_string(own.bottom - own.top) +
           (centred ? " centred" : "") + (IsWindowVisible(window) ? "" : " hidden");
}

// What is wrong with where a notice or message box stands: each is owned by
// the window it answers for, which takes no input meanwhile. (That it is not
// put in the screen's corner is the end-to-end rows' to see.)
inline std::string Misplaced(HWND box) {
    HWND owner = GetWindow(box, GW_OWNER);
    return !owner ? " +unowned" : IsWindowEnabled(owner) ? " +owner-enabled" : "";
}

// Where a control of a window stands in its client area.
inline RECT Placed(HWND control) {
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}
// " +crowded" for a notice's firewall line that is not below the findings and above Yes.
inline std::string Crowded(HWND line) {
    HWND notice = GetParent(line);
    const RECT own = Placed(line), box = Placed(GetDlgItem(notice, IDC_NOTICE_FINDINGS)), yes = Placed(GetDlgItem(notice, IDOK));
    return own.bottom > own.top && own.top >= box.bottom && own.bottom <= yes.top ? "" : " +crowded";
}

// Logs every notice and message box this thread opens, with what is wrong
// with its place, and answers it the moment it has initialised: Yes (1), No
// (2), Scan Again (3; No on a box) or Allow in Firewall, then No (4); a box without Yes gets OK. It logs a
// notice's shield and, at its end, its firewall line.
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
            Log("notice " + std::to_string(static_cast<int>(notice->code)) + ": " + TextOf(GetDlgItem(box, IDC_NOTICE_TEXT)) +
                Misplaced(box));
            button = answer == 1 ? IDOK : answer == 3 ? IDC_SCAN_AGAIN : IDCANCEL;
            if (answer == 4) PostMessageW(box, WM_COMMAND, IDC_ALLOW_IN_FIREWALL, 0);
        } else if (code == HC_ACTION && call->message == BCM_SETSHIELD) {
            Log("shield " + std::to_string(GetDlgCtrlID(box)) + ": " + std::to_string(call->lParam));
        } else if (code == HC_ACTION && call->message == WM_DESTROY && GetDlgItem(box, IDC_NOTICE_FIREWALL_LINE)) {
            Log("line: " + TextOf(GetDlgItem(box, IDC_NOTICE_FIREWALL_LINE)) + Crowded(GetDlgItem(box, IDC_NOTICE_FIREWALL_LINE)));
        } else if (opened && !dialog) {  // a message box
            Log(Box(TextOf(box), TextOf(GetDlgItem(box, 0xFFFF))) + Misplaced(box));
            button = !GetDlgItem(box, IDYES) ? IDOK : answer == 1 ? IDYES : IDNO;
        }
        if (button) PostMessageW(box, WM_COMMAND, button, 0);
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    HHOOK hook_;
};

inline void FillTable(const std::vector<std::vector<std::uint8_t>>& replies) {
    for (std::size_t i = 0; i < replies.size(); ++i) {
        std::memcpy(net::g_deviceTable[i].bytes, replies[i].data(), net::kDatagramSize);
    }
}

using Port = net::fake::ScriptedPort;

// Every row of every table starts from a PC with one Ethernet interface, 192.168.0.2/24 (as Windows lists its
// adapter too), no converter, nothing seen, a page that answers at once, nobody answering ARP, Yes to every
// question; this thread holds COM as the program's window thread does. Waits move the scripted clock.
class WinTest : public testing::Test {
protected:
    void SetUp() override { flow::SetWindowIdle(&idle), Reset(); }
    void TearDown() override {
        net::SetActivePort(nullptr), findings::SetNeighbourTable(nullptr), flow::SetWindowIdle(nullptr);
        findings::SetFactsSource(nullptr);
    }
    void Reset() {
        port = std::make_unique<Port>();
        port->interfaces = {{0x13, net::fake::Ip(192, 168, 0, 2), net::fake::Ip(255, 255, 255, 0)}};
        port->hostAddress = port->interfaces[0].address;
        port->connects = {net::fake::Accepts(2)};
        net::SetActivePort(port.get());
        neighbours = std::make_unique<net::fake::ScriptedNeighbours>(*port);
        findings::SetNeighbourTable(neighbours.get());
        shell.result = TRUE;
        shell.outOfMemory = false;
        adapters = Adapters{};
        adapters.steps = {{0, {Wired({{net::fake::Ip(192, 168, 0, 2), 24}})}}};
        findings::SetFactsSource(&adapters);
        Answerer::answer = 1;
        g_events.clear();
    }
    // A window created modelessly; a result window as the initial flow
    // leaves it when the program runs on: its progress window closed and
    // Scan enabled.
    static void Open(win::Dialog& window) {
        ASSERT_TRUE(window.Create(nullptr));
        if (!dynamic_cast<ui::ResultWindow*>(&window)) return;
        ui::CloseProgressWindow(ui::ResultWindow::InitialContext());
        EnableWindow(window.Item(IDC_SCAN), TRUE);
    }

    win::ComApartment com;
    std::unique_ptr<Port> port;
    std::unique_ptr<net::fake::ScriptedNeighbours> neighbours;
    // A visible address setup dialog and a launching window's parent take no input while the network is waited for.
    const net::Idle idle = [this](std::uint32_t ms) {
        for (HWND w : {GetParent(Shown<ui::LaunchingWindow>()), Shown<flow::IpSetupDialog>()}) {
            if (w && IsWindowEnabled(w)) Log("waits enabled");
        }
        win::DispatchThreadMessages(), port->nowMs += ms;
    };
    Adapters adapters;
    Shell shell;
    Answerer answerer;
};

// The rows of a list as "name|address|mac".
inline std::vector<std::string> Rows(HWND list) {
    std::vector<std::string> rows(ListView_GetItemCount(list));
    for (int row = 0; row < static_cast<int>(rows.size()); ++row) {
        for (int column = 0; column < 3; ++column) {
            char text[80] = {};
            ListView_GetItemText(list, row, column, text, sizeof text);
            rows[row] += (column ? "|" : "") + std::string(text);
        }
    }
    return rows;
}

}  // namespace cstest
