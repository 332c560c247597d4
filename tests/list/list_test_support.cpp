#include "tests/list/list_test_support.h"

#include <cstring>
#include <utility>

#include "res/resource.h"
#include "tests/win/test_support.h"
#include "ui/notice_dialog.h"
#include "ui/status_windows.h"

namespace cstest {
namespace {

MessageBoxAnswerer* g_boxes = nullptr;
constexpr int kMessageBoxText = 0xFFFF;
constexpr int kMessageBoxIcon = 0x0440;
// A bound against a hung flow, not a measure of anything.
constexpr ULONGLONG kRescanBoundMs = 30000;

std::string ClassOf(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

// The box itself is not shown yet while it initialises: look at the
// button's own style.
bool HasButton(HWND box, int id) {
    HWND button = GetDlgItem(box, id);
    return button && (GetWindowLongW(button, GWL_STYLE) & WS_VISIBLE);
}

// The visible LaunchingWindow of this process, if any.
HWND VisibleLaunchingWindow() {
    HWND found = nullptr;
    EnumWindows(
        [](HWND window, LPARAM out) -> BOOL {
            if (IsWindowVisible(window) &&
                dynamic_cast<ui::LaunchingWindow*>(OwnDialog(window))) {
                *reinterpret_cast<HWND*>(out) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

std::string ItemTextA(HWND list, int row, int column) {
    char text[128] = {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = sizeof text;
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return text;
}

HDITEMW HeaderItem(HWND list, int column) {
    HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
    HDITEMW item{};
    item.mask = HDI_FORMAT | HDI_IMAGE;
    SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
    return item;
}

}  // namespace

win::Dialog* OwnDialog(HWND window) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    return process == GetCurrentProcessId() ? win::Dialog::FromHandle(window) : nullptr;
}

MessageBoxAnswerer::MessageBoxAnswerer() {
    g_boxes = this;
    hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, &MessageBoxAnswerer::Hook, nullptr,
                              GetCurrentThreadId());
}

MessageBoxAnswerer::~MessageBoxAnswerer() {
    if (hook_) UnhookWindowsHookEx(hook_);
    if (g_boxes == this) g_boxes = nullptr;
}

LRESULT CALLBACK MessageBoxAnswerer::Hook(int code, WPARAM wParam, LPARAM lParam) {
    const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
    if (code == HC_ACTION && g_boxes && call->message == WM_INITDIALOG &&
        !win::Dialog::FromHandle(call->hwnd) && ClassOf(call->hwnd) == "#32770") {
        HWND box = call->hwnd;
        MessageBoxRecord record;
        record.caption = TextOf(box);
        record.text = ItemTextOf(box, kMessageBoxText);
        record.hasOk = HasButton(box, IDOK);
        record.hasCancel = HasButton(box, IDCANCEL);
        record.hasYes = HasButton(box, IDYES);
        HWND icon = GetDlgItem(box, kMessageBoxIcon);
        record.hasIcon = icon && SendMessageW(icon, STM_GETICON, 0, 0) != 0;
        record.owner = GetWindow(box, GW_OWNER);
        HWND launching = VisibleLaunchingWindow();
        record.launchingShown = launching != nullptr;
        record.launchingText = launching ? ItemTextOf(launching, IDC_STATUS_TEXT) : "";
        g_boxes->seen.push_back(record);
        PostMessageW(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

std::vector<Row> RowsOf(HWND list) {
    std::vector<Row> rows;
    const int count = static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    for (int row = 0; row < count; ++row) {
        Row r{ItemTextA(list, row, 0), ItemTextA(list, row, 1), ItemTextA(list, row, 2)};
        const LRESULT state =
            SendMessageW(list, LVM_GETITEMSTATE, row, LVIS_SELECTED | LVIS_FOCUSED);
        r.selected = (state & LVIS_SELECTED) != 0;
        r.focused = (state & LVIS_FOCUSED) != 0;
        rows.push_back(r);
    }
    return rows;
}

int SelectionMark(HWND list) {
    return static_cast<int>(SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0));
}

int ArrowOf(HWND list, int column) {
    const HDITEMW item = HeaderItem(list, column);
    if ((item.fmt & (HDF_IMAGE | HDF_BITMAP_ON_RIGHT)) != (HDF_IMAGE | HDF_BITMAP_ON_RIGHT)) {
        return -1;
    }
    return item.iImage;
}

int HeaderFormatOf(HWND list, int column) { return HeaderItem(list, column).fmt; }

std::vector<std::uint8_t> ConverterReply(const std::string& name, std::uint8_t a, std::uint8_t b,
                                         std::uint8_t c, std::uint8_t d, std::uint8_t macLast) {
    net::fake::ReplyFields fields;
    fields.name = name;
    fields.address[0] = a;
    fields.address[1] = b;
    fields.address[2] = c;
    fields.address[3] = d;
    fields.mac[5] = macLast;
    return net::fake::Reply(fields);
}

net::DeviceRecord ConverterRecord(const std::string& name, std::uint8_t a, std::uint8_t b,
                                  std::uint8_t c, std::uint8_t d, std::uint8_t macLast) {
    net::DeviceRecord record{};
    const std::vector<std::uint8_t> bytes = ConverterReply(name, a, b, c, d, macLast);
    std::memcpy(record.bytes, bytes.data(), sizeof record.bytes);
    return record;
}

void OneEthernetPc(net::fake::ScriptedPort& port) {
    using net::fake::Ip;
    port.interfaces = {
        {net::kIffUp | net::kIffBroadcast | net::kIffMulticast, Ip(192, 168, 0, 2),
         Ip(255, 255, 255, 0)},
        {0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)},
    };
    port.hostAddress = Ip(192, 168, 0, 2);
}

void AnswerEveryCycle(net::fake::ScriptedPort& port,
                      const std::vector<std::vector<std::uint8_t>>& replies) {
    for (int cycle = 0; cycle < 3; ++cycle) {
        for (const auto& reply : replies) port.inbound.push_back(net::fake::Arrives(reply, 10));
        port.inbound.push_back(net::fake::Silence());
    }
}

ListWindowFixture::ListWindowFixture(Sockets sockets) {
    std::memset(net::g_deviceTable, 0, sizeof net::g_deviceTable);
    net::g_scanState.running.store(0);
    net::g_scanState.lastError = 0;
    net::g_scanState.count = 0;
    std::memset(&net::g_probeResult, 0, sizeof net::g_probeResult);
    net::SetActivePort(sockets == Sockets::kScripted ? &port : nullptr);
}

ListWindowFixture::~ListWindowFixture() {
    window.reset();
    port.JoinThread();
    net::SetActivePort(nullptr);
}

bool ListWindowFixture::Open(const ui::ResultWindowEntryPoints& entryPoints) {
    window = std::make_unique<ui::ResultWindow>(entryPoints);
    if (!window->Create(nullptr)) return false;
    // What an initial flow leaves behind when the window stays open.
    ui::ProgressWindow* initial = ui::ResultWindow::InitialContext().progressWindow;
    if (initial && initial->hwnd()) SendMessageW(initial->hwnd(), WM_CLOSE, 0, 0);
    EnableWindow(window->scanButton(), TRUE);
    PumpPending();
    return true;
}

bool ListWindowFixture::Rescan(int answer, int presses) {
    for (int press = 0; press < presses; ++press) {
        PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED),
                     reinterpret_cast<LPARAM>(window->scanButton()));
    }
    PumpPending();  // the commands: from here the Scan button is disabled
    const ULONGLONG end = GetTickCount64() + kRescanBoundMs;
    while (GetTickCount64() < end) {
        PumpPending();
        std::pair<ListWindowFixture*, int> self(this, answer);
        EnumWindows(
            [](HWND candidate, LPARAM raw) -> BOOL {
                auto* self = reinterpret_cast<std::pair<ListWindowFixture*, int>*>(raw);
                auto* notice = dynamic_cast<ui::NoticeDialog*>(OwnDialog(candidate));
                // Visible only once it has initialised and its text is set.
                if (!notice || !IsWindowVisible(candidate) || GetPropW(candidate, L"cs.answered")) {
                    return TRUE;
                }
                SetPropW(candidate, L"cs.answered", reinterpret_cast<HANDLE>(1));
                ui::ProgressWindow* progress = ui::ResultWindow::RescanContext().progressWindow;
                self->first->notices.push_back(
                    {notice->code, ItemTextOf(candidate, IDC_NOTICE_TEXT),
                     progress && IsWindowVisible(progress->hwnd())});
                PostMessageW(candidate, WM_COMMAND,
                             MAKEWPARAM(self->second == 1 ? IDOK : IDCANCEL, BN_CLICKED), 0);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&self));
        if (IsWindowEnabled(window->scanButton())) {
            PumpPending();
            return true;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
    }
    return false;
}

}  // namespace cstest
