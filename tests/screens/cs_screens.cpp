// Shows one window of the program in one language and holds it still for a
// screenshot:
//
//   cs-screens.exe WINDOW en|ja READY_FILE DONE_FILE
//
// Once the window has been on screen long enough to be painted, its outer
// rectangle ("x y width height", screen pixels) is written to READY_FILE; the
// program then waits for DONE_FILE to appear and ends. `cs-screens.exe --list`
// prints the window names.
//
// The protocol runs on the scripted socket port of the unit tests and the
// platform port is their refusing stand-in: the converters in the pictures
// are scripted, and nothing here can open a real socket.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "flow/ip_setup_dialog.h"
#include "flow/setup_page_launcher.h"
#include "net/device_table.h"
#include "net/socket_port.h"
#include "res/resource.h"
#include "tests/host/net/scripted_port.h"
#include "ui/notice_dialog.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"
#include "win/language.h"

namespace {

// Long enough for the window's first paint; the shot does not measure it.
constexpr DWORD kSettleMs = 800;
// A bound against a script that never answers, not a measure of anything.
constexpr DWORD kDoneBoundMs = 120000;
constexpr DWORD kScanBoundMs = 30000;

std::string g_readyFile;
std::string g_doneFile;
DWORD g_mainThread = 0;

// The top-level windows the shown scene creates, in order; the newest one
// that is visible and has a size is the one to shoot (tool tips and the
// input-method window that wine gives the thread are never visible).
std::mutex g_createdLock;
std::vector<HWND> g_created;

LRESULT CALLBACK CreationHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_CREATEWND) {
        const auto* create = reinterpret_cast<const CBT_CREATEWNDW*>(lParam);
        if (!(create->lpcs->style & WS_CHILD)) {
            std::lock_guard<std::mutex> hold(g_createdLock);
            g_created.push_back(reinterpret_cast<HWND>(wParam));
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

bool Shootable(HWND window) {
    RECT r{};
    return window && IsWindow(window) && IsWindowVisible(window) && GetWindowRect(window, &r) &&
           r.right > r.left && r.bottom > r.top;
}

HWND NewestShown() {
    std::lock_guard<std::mutex> hold(g_createdLock);
    for (auto it = g_created.rbegin(); it != g_created.rend(); ++it) {
        if (Shootable(*it)) return *it;
    }
    return nullptr;
}

bool FileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool WriteReady(HWND window) {
    RECT r{};
    GetWindowRect(window, &r);
    char line[96];
    std::snprintf(line, sizeof line, "%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left,
                  r.bottom - r.top);
    // Written whole under another name first: the script must never read half.
    const std::string temporary = g_readyFile + ".part";
    FILE* out = std::fopen(temporary.c_str(), "wb");
    if (!out) return false;
    const bool written = std::fputs(line, out) >= 0;
    if (std::fclose(out) != 0 || !written) return false;
    return MoveFileExA(temporary.c_str(), g_readyFile.c_str(), MOVEFILE_REPLACE_EXISTING) != 0;
}

// Watches the scene from aside: the window thread is inside a modal loop or a
// message loop of its own and never returns to us.
DWORD WINAPI Watcher(LPVOID) {
    const ULONGLONG end = GetTickCount64() + kDoneBoundMs;
    HWND shown = nullptr;
    ULONGLONG shownSince = 0;
    bool ready = false;
    while (GetTickCount64() < end) {
        if (ready) {
            if (FileExists(g_doneFile)) TerminateProcess(GetCurrentProcess(), 0);
        } else {
            HWND target = NewestShown();
            if (!Shootable(target)) {
                shown = nullptr;
            } else if (target != shown) {
                shown = target;
                shownSince = GetTickCount64();
            } else if (GetTickCount64() - shownSince >= kSettleMs) {
                // Paint whatever is still pending before the shot.
                RedrawWindow(target, nullptr, nullptr,
                             RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN |
                                 RDW_UPDATENOW);
                Sleep(200);
                if (!WriteReady(target)) {
                    std::fprintf(stderr, "cs-screens: cannot write %s\n", g_readyFile.c_str());
                    TerminateProcess(GetCurrentProcess(), 3);
                }
                ready = true;
            }
        }
        Sleep(50);
    }
    std::fprintf(stderr, "cs-screens: %s\n", ready ? "no word to end" : "nothing was shown");
    TerminateProcess(GetCurrentProcess(), 4);
    return 0;
}

void MessageLoop() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        win::Dialog* dialog = win::Dialog::FromHandle(GetAncestor(message.hwnd, GA_ROOT));
        if (dialog && dialog->PreTranslateMessage(&message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void PumpPending() {
    MSG message;
    for (int i = 0; i < 1000 && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE); ++i) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// ---------------------------------------------------------------- the scenes

// A PC on 192.168.0.2/24 (and the loopback entry) that hears three
// converters, one of them in another subnet, in every discovery cycle.
void ScriptThreeConverters(net::fake::ScriptedPort& port) {
    using net::fake::Ip;
    port.interfaces = {
        {net::kIffUp | net::kIffBroadcast | net::kIffMulticast, Ip(192, 168, 0, 2),
         Ip(255, 255, 255, 0)},
        {0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)},
    };
    port.hostAddress = Ip(192, 168, 0, 2);
    struct Converter {
        const char* name;
        std::uint8_t address[4];
        std::uint8_t macLast;
    };
    const Converter converters[] = {
        {"ZTL-BR720 Office 2F", {192, 168, 0, 50}, 0x50},
        {"ZTL-BR710 Warehouse", {192, 168, 0, 51}, 0x51},
        {"ZTL-BR720 Reception", {10, 0, 0, 20}, 0x20},
    };
    for (int cycle = 0; cycle < 3; ++cycle) {
        for (const Converter& c : converters) {
            net::fake::ReplyFields fields;
            fields.name = c.name;
            std::memcpy(fields.address, c.address, sizeof fields.address);
            fields.mac[5] = c.macLast;
            port.inbound.push_back(net::fake::Arrives(net::fake::Reply(fields), 10));
        }
        port.inbound.push_back(net::fake::Silence());
    }
}

void EndProcess(int status) { TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status)); }

// The result window as a rescan leaves it: three converters listed, the
// name column sorted with its arrow, at the size of its template (the
// program itself leaves it with no size), centred on the screen.
bool OpenResultWindow(net::fake::ScriptedPort& port, ui::ResultWindow& window) {
    ScriptThreeConverters(port);
    net::SetActivePort(&port);
    if (!window.Create(nullptr)) return false;
    ui::ProgressWindow* initial = ui::ResultWindow::InitialContext().progressWindow;
    if (initial && initial->hwnd()) SendMessageW(initial->hwnd(), WM_CLOSE, 0, 0);
    EnableWindow(window.Item(IDC_SCAN), TRUE);
    PumpPending();

    PostMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window.Item(IDC_SCAN)));
    PumpPending();
    const ULONGLONG end = GetTickCount64() + kScanBoundMs;
    while (!IsWindowEnabled(window.Item(IDC_SCAN))) {
        if (GetTickCount64() >= end) return false;
        PumpPending();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    PumpPending();

    NMLISTVIEW click{};
    click.hdr.hwndFrom = window.deviceList();
    click.hdr.idFrom = IDC_DEVICE_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = 0;
    SendMessageW(window.hwnd(), WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&click));

    RECT size{0, 0, 339, 221};
    MapDialogRect(window.hwnd(), &size);
    AdjustWindowRectEx(&size, static_cast<DWORD>(GetWindowLongW(window.hwnd(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window.hwnd(), GWL_EXSTYLE)));
    const int width = size.right - size.left;
    const int height = size.bottom - size.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(window.hwnd(), HWND_TOP, x, y, width, height, SWP_SHOWWINDOW);
    return true;
}

int ShowResultWindow() {
    net::fake::ScriptedPort port;
    ui::ResultWindowEntryPoints entryPoints;
    entryPoints.launchSelected = &flow::LaunchSelected;
    entryPoints.endProcess = &EndProcess;
    ui::ResultWindow window(entryPoints);
    if (!OpenResultWindow(port, window)) return 2;
    MessageLoop();
    return 0;
}

// The launch from the list with no row selected.
int ShowNoSelectionBox() {
    net::fake::ScriptedPort port;
    ui::ResultWindowEntryPoints entryPoints;
    entryPoints.launchSelected = &flow::LaunchSelected;
    entryPoints.endProcess = &EndProcess;
    ui::ResultWindow window(entryPoints);
    if (!OpenResultWindow(port, window)) return 2;
    SendMessageW(window.deviceList(), LVM_SETSELECTIONMARK, 0, -1);
    flow::LaunchSelected(window);
    return 0;
}

// The launch from the list of the converter in another subnet.
int ShowSubnetWarningBox() {
    net::fake::ScriptedPort port;
    ui::ResultWindowEntryPoints entryPoints;
    entryPoints.launchSelected = &flow::LaunchSelected;
    entryPoints.endProcess = &EndProcess;
    ui::ResultWindow window(entryPoints);
    if (!OpenResultWindow(port, window)) return 2;
    HWND list = window.deviceList();
    const int rows = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < rows; ++row) {
        char address[64] = {};
        LVITEMA item{};
        item.iSubItem = 1;
        item.pszText = address;
        item.cchTextMax = sizeof address;
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row),
                     reinterpret_cast<LPARAM>(&item));
        if (std::strncmp(address, "10.", 3) == 0) {
            LVITEMW state{};
            state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row),
                         reinterpret_cast<LPARAM>(&state));
            SendMessageW(list, LVM_SETSELECTIONMARK, 0, row);
        }
    }
    if (SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0) < 0) return 2;
    flow::LaunchSelected(window);
    return 0;
}

int ShowNotice(int code) {
    ui::NoticeDialog notice;
    notice.code = code;
    return notice.DoModal(nullptr) < 0 ? 2 : 0;
}

int ShowProgressWindow() {
    ui::ProgressWindow window;
    if (!window.Open(nullptr)) return 2;
    MessageLoop();
    return 0;
}

int ShowLaunchingWindow() {
    ui::LaunchingWindow window;
    window.kind = 1;
    if (!ui::ShowStatusWindow(window, nullptr, nullptr)) return 2;
    MessageLoop();
    return 0;
}

int ShowSettingAddressWindow() {
    ui::SettingAddressWindow window;
    if (!ui::ShowStatusWindow(window, nullptr, nullptr)) return 2;
    MessageLoop();
    return 0;
}

// The PC at 192.168.0.2/24: the dialog shows it and suggests 192.168.0.3.
int ShowIpSetupDialog() {
    net::fake::ScriptedPort port;
    ScriptThreeConverters(port);
    net::SetActivePort(&port);
    flow::IpSetupDialog dialog;
    dialog.SetConverterMac("00:1a:2b:3c:4d:20");
    return dialog.DoModal(nullptr) < 0 ? 2 : 0;
}

struct Scene {
    const char* name;
    int (*show)();
};

template <int Code>
int ShowNoticeCode() {
    return ShowNotice(Code);
}

const Scene kScenes[] = {
    {"ResultWindow", &ShowResultWindow},
    {"ProgressWindow", &ShowProgressWindow},
    {"LaunchingWindow", &ShowLaunchingWindow},
    {"SettingAddressWindow", &ShowSettingAddressWindow},
    {"NoticeDialog-1", &ShowNoticeCode<1>},
    {"NoticeDialog-3", &ShowNoticeCode<3>},
    {"NoticeDialog-4", &ShowNoticeCode<4>},
    {"NoticeDialog-5", &ShowNoticeCode<5>},
    {"NoticeDialog-6", &ShowNoticeCode<6>},
    {"NoticeDialog-7", &ShowNoticeCode<7>},
    {"IpSetupDialog", &ShowIpSetupDialog},
    {"NoSelectionBox", &ShowNoSelectionBox},
    {"SubnetWarningBox", &ShowSubnetWarningBox},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--list") == 0) {
        for (const Scene& scene : kScenes) std::printf("%s\n", scene.name);
        return 0;
    }
    if (argc != 5 || (std::strcmp(argv[2], "en") != 0 && std::strcmp(argv[2], "ja") != 0)) {
        std::fprintf(stderr, "usage: cs-screens WINDOW en|ja READY_FILE DONE_FILE | --list\n");
        return 2;
    }
    const Scene* scene = nullptr;
    for (const Scene& candidate : kScenes) {
        if (std::strcmp(candidate.name, argv[1]) == 0) scene = &candidate;
    }
    if (!scene) {
        std::fprintf(stderr, "cs-screens: no window named %s\n", argv[1]);
        return 2;
    }
    g_readyFile = argv[3];
    g_doneFile = argv[4];

    INITCOMMONCONTROLSEX controls{};
    controls.dwSize = sizeof controls;
    controls.dwICC = ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES;
    InitCommonControlsEx(&controls);
    win::SetLanguage(std::strcmp(argv[2], "ja") == 0 ? win::kJapanese : win::kEnglish);

    g_mainThread = GetCurrentThreadId();
    SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, g_mainThread);
    HANDLE watcher = CreateThread(nullptr, 0, &Watcher, nullptr, 0, nullptr);
    if (!watcher) return 2;
    const int status = scene->show();
    // A scene that returns showed nothing that stays (or failed): say so and
    // leave the watcher no window to wait for.
    std::fprintf(stderr, "cs-screens: %s ended before its shot (%d)\n", scene->name, status);
    return status == 0 ? 4 : status;
}
