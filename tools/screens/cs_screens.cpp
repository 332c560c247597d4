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
// The converters in the pictures are written into the device table, and the
// sockets are a stand-in that only knows the PC's interfaces: nothing here
// can open a real socket.
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "flow/ip_setup_dialog.h"
#include "findings/windows_facts.h"
#include "flow/setup_page_launcher.h"
#include "net/address_text.h"
#include "net/device_table.h"
#include "net/scan_report.h"
#include "net/socket_port.h"
#include "res/resource.h"
#include "ui/notice_dialog.h"
#include "ui/notice_findings.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"
#include "win/language.h"
#include "win/shell.h"

namespace {

// Long enough for the window's first paint; the shot does not measure it.
constexpr DWORD kSettleMs = 800;
// A bound against a script that never answers, not a measure of anything.
constexpr DWORD kDoneBoundMs = 120000;

std::string g_readyFile;
std::string g_doneFile;

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

// An address as it sits in an in_addr.
constexpr std::uint32_t Ip(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t d) {
    return a | b << 8 | c << 16 | d << 24;
}

// The sockets of a PC on 192.168.0.2/24 (and the loopback entry): enough for
// the address setup dialog's look at the interfaces; everything else fails.
class InterfacesOnlyPort : public net::SocketPort {
public:
    int Startup() override { return 0; }
    void Cleanup() override {}
    int LastError() override { return net::kErrFault; }
    net::SocketHandle OpenUdp() override { return 1; }
    int EnableBroadcast(net::SocketHandle) override { return 0; }
    int ReadInterfaceList(net::SocketHandle, std::size_t bytes, net::InterfaceEntry* entries,
                          std::size_t* count) override {
        const net::InterfaceEntry kList[] = {
            {net::kIffUp | net::kIffBroadcast | net::kIffMulticast, Ip(192, 168, 0, 2),
             Ip(255, 255, 255, 0)},
            {0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}};
        if (bytes < sizeof kList / sizeof kList[0] * net::kInterfaceInfoSize) return -1;
        std::copy(std::begin(kList), std::end(kList), entries);
        *count = std::size(kList);
        return 0;
    }
    int HostAddress(std::uint32_t*) override { return -1; }
    int BindAny(net::SocketHandle) override { return -1; }
    int BindToInterface(net::SocketHandle, std::uint32_t) override { return -1; }
    int SendTo(net::SocketHandle, const std::uint8_t*, std::size_t, std::uint32_t,
               std::uint16_t) override {
        return -1;
    }
    int WaitReadable(const net::SocketHandle*, std::size_t, std::uint32_t,
                     std::uint8_t*) override {
        return -1;
    }
    int ReceiveFrom(net::SocketHandle, std::uint8_t*, std::size_t, std::uint16_t*) override {
        return -1;
    }
    void Close(net::SocketHandle) override {}
    net::ConnectOutcome TryConnect(std::uint32_t, std::uint32_t, std::uint16_t,
                                   std::uint32_t) override {
        return net::ConnectOutcome::kFailed;
    }
    bool StartThread(void (*)()) override { return false; }
    std::uint64_t NowMs() override { return 0; }
};

// Three converters as a scan of that PC stores them, one in another subnet.
void StoreThreeConverters() {
    const struct {
        const char* name;
        std::uint8_t address[4];
    } kConverters[] = {{"ZTL-BR720 Office 2F", {192, 168, 0, 50}},
                       {"ZTL-BR710 Warehouse", {192, 168, 0, 51}},
                       {"ZTL-BR720 Reception", {10, 0, 0, 20}}};
    int i = 0;
    for (const auto& c : kConverters) {
        std::uint8_t* bytes = net::g_deviceTable[i++].bytes;
        bytes[net::kProtocolOffset] = 1;
        bytes[net::kOperationOffset] = net::kDiscoveryReply;
        const std::uint8_t mac[6] = {0x00, 0x1a, 0x2b, 0x3c, 0x4d, c.address[3]};
        std::memcpy(bytes + net::kMacOffset, mac, sizeof mac);
        std::memcpy(bytes + net::kAddressOffset, c.address, sizeof c.address);
        std::memcpy(bytes + net::kNameOffset, c.name, std::strlen(c.name));
    }
    std::strcpy(net::g_probeResult.address, "192.168.0.2");
    std::strcpy(net::g_probeResult.netmask, "255.255.255.0");
}

void EndProcess(int status) { TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status)); }

// The result window with three converters listed and the name column sorted
// with its arrow, as the program shows it where it hands the window to the
// user: at its designed size, centred in the work area.
bool OpenResultWindow(ui::ResultWindow& window) {
    if (!window.Create(nullptr)) return false;
    ui::ProgressWindow* initial = ui::ResultWindow::InitialContext().progressWindow;
    if (initial && initial->hwnd()) SendMessageW(initial->hwnd(), WM_CLOSE, 0, 0);
    EnableWindow(window.Item(IDC_SCAN), TRUE);
    StoreThreeConverters();
    window.ListFill(net::g_deviceTable, 3);
    PumpPending();

    NMLISTVIEW click{};
    click.hdr.hwndFrom = window.deviceList();
    click.hdr.idFrom = IDC_DEVICE_LIST;
    click.hdr.code = LVN_COLUMNCLICK;
    click.iItem = -1;
    click.iSubItem = 0;
    SendMessageW(window.hwnd(), WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&click));

    window.ShowToUser();
    return true;
}

// The result window scenes: the window, then what the user does with it.
int ResultWindowScene(void (*then)(ui::ResultWindow&)) {
    ui::ResultWindowEntryPoints entryPoints;
    entryPoints.launchSelected = &flow::LaunchSelected;
    entryPoints.endProcess = &EndProcess;
    ui::ResultWindow window(entryPoints);
    if (!OpenResultWindow(window)) return 2;
    then(window);
    return 0;
}

int ShowResultWindow() {
    return ResultWindowScene([](ui::ResultWindow&) { MessageLoop(); });
}

// The launch from the list with no row selected.
int ShowNoSelectionBox() {
    return ResultWindowScene([](ui::ResultWindow& window) {
        SendMessageW(window.deviceList(), LVM_SETSELECTIONMARK, 0, -1);
        flow::LaunchSelected(window);
    });
}

// The launch from the list of the converter in another subnet (the third
// record: the rows carry their records).
int ShowSubnetWarningBox() {
    return ResultWindowScene([](ui::ResultWindow& window) {
        LVFINDINFOW find{};
        find.flags = LVFI_PARAM;
        find.lParam = reinterpret_cast<LPARAM>(&net::g_deviceTable[2]);
        const LRESULT row = SendMessageW(window.deviceList(), LVM_FINDITEMW, WPARAM(-1),
                                         reinterpret_cast<LPARAM>(&find));
        LVITEMW state{};
        state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(window.deviceList(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&state));
        SendMessageW(window.deviceList(), LVM_SETSELECTIONMARK, 0, row);
        flow::LaunchSelected(window);
    });
}

int ShowNotice(ui::Notice code) {
    ui::NoticeDialog notice;
    notice.code = code;
    return notice.DoModal(nullptr) < 0 ? 2 : 0;
}

// ------------------------------------------------- notices that say why

// A laptop as Windows describes it: a wired adapter with a long name on a
// public network whose firewall lets nothing of this program in, a second
// wired adapter still without an address, a VPN and the office Wi-Fi; or
// the same with every cable pulled and the VPN down.
class LaptopFacts : public findings::FactsSource {
public:
    bool unplugged = false;
    bool ReadAdapters(std::vector<findings::AdapterEntry>* adapters) override {
        const unsigned status = unplugged ? 2 : findings::kOperStatusUp;
        *adapters = {
            {"{1}", "Intel(R) Ethernet Connection (7) I219-LM - Docking Station USB-C Gigabit Adapter #2",
             findings::kIfTypeEthernet, status, {{Ip(192, 168, 0, 2), 24}}},
            {"{2}", "Realtek USB GbE Family Controller", findings::kIfTypeEthernet, status, {}},
            {"{3}", "Contoso Corporate VPN (AnyConnect)", findings::kIfTypePropVirtual, status,
             {{Ip(10, 8, 0, 14), 32}}},
            {"{4}", "Wi-Fi", findings::kIfTypeWifi, status, {{Ip(172, 20, 0, 2), 24}}},
        };
        return true;
    }
    bool ReadNetworks(std::vector<findings::NetworkEntry>* networks) override {
        *networks = {{"{1}", findings::Category::kPublic}, {"{4}", findings::Category::kDomain}};
        return true;
    }
    findings::FirewallEntry ReadFirewall(const std::vector<std::string>&) override {
        findings::FirewallEntry firewall;
        firewall.enabled[0] = firewall.enabled[2] = true;
        firewall.rules = std::vector<findings::ProgramRule>{{0, true, findings::kProfileDomain}};
        return firewall;
    }
};

void StoreReply(int index, const char* name, std::uint32_t address, const net::Link& link) {
    std::uint8_t bytes[net::kDatagramSize] = {1, net::kDiscoveryReply};
    net::AddressToBytes(address, bytes + net::kAddressOffset);
    std::memcpy(bytes + net::kNameOffset, name, std::min(std::strlen(name), net::kNameLength));
    net::StoreRecord(index, bytes, link);
}

// The scan of that laptop: unplugged, one socket without a link whose sends
// failed (4); both links searched and another model heard on the Wi-Fi (5);
// a converter on each link (6).
void StoreLaptopScan(ui::Notice code) {
    const net::Link wired{true, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0)};
    const net::Link office{true, Ip(172, 20, 0, 2), Ip(255, 255, 255, 0)};
    net::g_scanReport = {};
    if (code == ui::Notice::kRescanNotFound) {
        net::g_scanReport.linkCount = 1;
        net::g_scanReport.links[0].sendError = net::g_scanState.lastError = 10051;
        return;
    }
    net::g_scanReport.linkCount = 2;
    net::g_scanReport.links[0] = {wired, 0, 0, 0, 0, 0, 3};
    net::g_scanReport.links[1] = {office, 0, 0, 1, 1, 0, 3};
    if (code == ui::Notice::kSeveral) {
        StoreReply(0, "ZTL-BR720 Office 2F (meeting room, north wing)", Ip(10, 0, 0, 5), wired);
        StoreReply(1, "ZTL-BR710 Warehouse", Ip(172, 20, 0, 9), office);
        net::g_scanReport.links[0] = {wired, 0, 0, 1, 1, 0, 3};
        net::g_scanState.count = 2;
    } else {
        StoreReply(0, "ACME-AP500 Lobby", Ip(172, 20, 0, 9), office);
        net::g_scanState.count = 1;
    }
}

template <ui::Notice Code>
int ShowNoticeWithFindings() {
    static LaptopFacts laptop;
    laptop.unplugged = Code == ui::Notice::kRescanNotFound;
    findings::SetFactsSource(&laptop);
    StoreLaptopScan(Code);
    const net::AssignReport refused{net::AssignOutcome::kRefused, 0};
    // Notice 3: the converter took 192.168.0.3 on the wired link, its web
    // server refused every connection for 15 s.
    net::PageCheck check;
    check.attempts = check.refused = 30;
    findings::Inputs page;
    page.page = &check;
    page.pageAddress = "192.168.0.3";
    page.pageLink = {true, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0)};
    ui::NoticeDialog notice;
    notice.code = Code;
    // After the start-up's scan the program waited its 15 s for the second wired adapter's address.
    notice.findings =
        ui::NoticeFindingsFor(Code, &refused, "192.168.0.3", Code == ui::Notice::kNotFound ? 15 : 0, page);
    return notice.DoModal(nullptr) < 0 ? 2 : 0;
}

// Allow in Firewall pressed as the notice opens, and the elevated copy
// ending with E_ACCESSDENIED: the notice with the line that says why.
class PressedNotice : public ui::NoticeDialog {
protected:
    BOOL OnInitDialog() override {
        const BOOL focus = ui::NoticeDialog::OnInitDialog();
        PostMessageW(hwnd(), WM_COMMAND, IDC_ALLOW_IN_FIREWALL, 0);
        return focus;
    }
};

// "runas" hands back a copy of this program that has already ended with
// the exit code; nothing is elevated.
class EndedCopyShell : public win::Shell {
public:
    explicit EndedCopyShell(DWORD exitCode) : exitCode_(exitCode) {}
    BOOL Execute(SHELLEXECUTEINFOW* info) override {
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring command = L"cs-screens --list";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION copy{};
        if (!CreateProcessW(self, &command[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                            &startup, &copy)) {
            return FALSE;
        }
        CloseHandle(copy.hThread);
        TerminateProcess(copy.hProcess, exitCode_);
        WaitForSingleObject(copy.hProcess, INFINITE);
        info->hProcess = copy.hProcess;
        return TRUE;
    }

private:
    DWORD exitCode_;
};

int ShowNoticeWithFirewallFailure() {
    static LaptopFacts laptop;
    findings::SetFactsSource(&laptop);
    StoreLaptopScan(ui::Notice::kNotFound);
    static EndedCopyShell shell(static_cast<DWORD>(E_ACCESSDENIED));
    win::SetShell(&shell);
    PressedNotice notice;
    notice.code = ui::Notice::kNotFound;
    notice.findings = ui::NoticeFindingsFor(ui::Notice::kNotFound, nullptr, std::string(), 15);
    return notice.DoModal(nullptr) < 0 ? 2 : 0;
}

int ShowProgressWindow() {
    ui::ProgressWindow window;
    if (!window.Open(nullptr)) return 2;
    MessageLoop();
    return 0;
}

// The same while the program waits for an adapter's address.
int ShowWaitingWindow() {
    ui::ProgressWindow window;
    if (!window.Open(nullptr)) return 2;
    window.ShowText(IDS_WAITING_FOR_ADDRESS);
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
    flow::IpSetupDialog dialog;
    dialog.SetConverterMac("00:1a:2b:3c:4d:20");
    return dialog.DoModal(nullptr) < 0 ? 2 : 0;
}

// The address setup's refusal of a typed address a device holds.
int ShowTypedAddressRefusalBox() {
    MessageBoxW(nullptr, flow::TypedAddressRefusal(net::AddressUse::kInUse, "192.168.0.3").c_str(),
                win::LoadText(IDS_ERROR).c_str(), MB_OK | MB_ICONINFORMATION);
    return 0;
}

struct Scene {
    const char* name;
    int (*show)();
};

template <ui::Notice Code>
int ShowNoticeCode() {
    return ShowNotice(Code);
}

const Scene kScenes[] = {
    {"ResultWindow", &ShowResultWindow},
    {"ProgressWindow", &ShowProgressWindow},
    {"ProgressWindow-waiting", &ShowWaitingWindow},
    {"LaunchingWindow", &ShowLaunchingWindow},
    {"SettingAddressWindow", &ShowSettingAddressWindow},
    {"NoticeDialog-1", &ShowNoticeCode<ui::Notice::kAssignFailed>},
    {"NoticeDialog-3", &ShowNoticeCode<ui::Notice::kOpenFailed>},
    {"NoticeDialog-4", &ShowNoticeCode<ui::Notice::kRescanNotFound>},
    {"NoticeDialog-5", &ShowNoticeCode<ui::Notice::kNotFound>},
    {"NoticeDialog-6", &ShowNoticeCode<ui::Notice::kSeveral>},
    {"NoticeDialog-7", &ShowNoticeCode<ui::Notice::kIncompleteAddress>},
    {"NoticeDialog-1-findings", &ShowNoticeWithFindings<ui::Notice::kAssignFailed>},
    {"NoticeDialog-3-findings", &ShowNoticeWithFindings<ui::Notice::kOpenFailed>},
    {"NoticeDialog-4-findings", &ShowNoticeWithFindings<ui::Notice::kRescanNotFound>},
    {"NoticeDialog-5-findings", &ShowNoticeWithFindings<ui::Notice::kNotFound>},
    {"NoticeDialog-6-findings", &ShowNoticeWithFindings<ui::Notice::kSeveral>},
    {"NoticeDialog-5-firewall-failed", &ShowNoticeWithFirewallFailure},
    {"IpSetupDialog", &ShowIpSetupDialog},
    {"NoSelectionBox", &ShowNoSelectionBox},
    {"SubnetWarningBox", &ShowSubnetWarningBox},
    {"TypedAddressRefusalBox", &ShowTypedAddressRefusalBox},
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

    static InterfacesOnlyPort port;
    net::SetActivePort(&port);
    SetWindowsHookExW(WH_CBT, &CreationHook, nullptr, GetCurrentThreadId());
    HANDLE watcher = CreateThread(nullptr, 0, &Watcher, nullptr, 0, nullptr);
    if (!watcher) return 2;
    const int status = scene->show();
    // A scene that returns showed nothing that stays (or failed): say so and
    // leave the watcher no window to wait for.
    std::fprintf(stderr, "cs-screens: %s ended before its shot (%d)\n", scene->name, status);
    return status == 0 ? 4 : status;
}
