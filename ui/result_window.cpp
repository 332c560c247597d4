#include "ui/result_window.h"

#include "res/resource.h"
#include "ui/help_launcher.h"
#include "ui/status_windows.h"
#include "win/language.h"
#include "win/window_util.h"

namespace ui {
namespace {

constexpr int kInitialWidth = 599;
constexpr int kInitialHeight = 364;
constexpr UINT kReopenProgressMessage = WM_APP + 1;
constexpr DWORD kListExtendedStyles = LVS_EX_FULLROWSELECT | LVS_EX_TWOCLICKACTIVATE;  // 0xA0

win::UniqueIcon LoadIconResource(UINT id, int size) {
    return win::UniqueIcon(static_cast<HICON>(
        LoadImageW(win::ResourceModule(), MAKEINTRESOURCEW(id), IMAGE_ICON, size, size, 0)));
}

}  // namespace

// Enter, Esc and a plain close request do nothing here: the window only
// closes through CloseResultWindow.
ResultWindow::ResultWindow(const ResultWindowEntryPoints& entryPoints)
    : win::Dialog(IDD_RESULT_WINDOW, kIgnoresEnterAndEsc),
      windowIcon_(LoadIconResource(IDI_APPLICATION_ICON, GetSystemMetrics(SM_CXICON))),
      entryPoints_(entryPoints) {}

ResultWindow::~ResultWindow() {
    // The progress windows are owned by this window: let them go first, while
    // their owner still exists. Then the window, while this object's members
    // are still there for its last messages.
    progressWindows_.clear();
    if (hwnd() && GetWindowThreadProcessId(hwnd(), nullptr) == GetCurrentThreadId()) {
        DestroyWindow();
    }
}

WorkerContext& ResultWindow::InitialContext() {
    static WorkerContext context;
    return context;
}

WorkerContext& ResultWindow::RescanContext() {
    static WorkerContext context;
    return context;
}

void ResultWindow::SetAssignedAddress(const std::string& address) {
    std::lock_guard<std::mutex> hold(assignedAddressLock_);
    assignedAddress_ = address;
}

std::string ResultWindow::AssignedAddress() const {
    std::lock_guard<std::mutex> hold(assignedAddressLock_);
    return assignedAddress_;
}

void ResultWindow::DoDataExchange() {
    Bind(IDC_SETUP_PAGE, setupPageButton_);
    Bind(IDC_IP_ADDRESS_SETUP, ipAddressButton_);
    Bind(IDC_SCAN, scanButton_);
    Bind(IDC_DEVICE_LIST, deviceList_);
}

ProgressWindow* ResultWindow::OpenProgressWindow() {
    auto progress = std::make_unique<ProgressWindow>();
    if (!progress->Open(hwnd())) return nullptr;
    progressWindows_.push_back(std::move(progress));
    return progressWindows_.back().get();
}

WorkerContext& ResultWindow::FillContext(WorkerContext& context, ProgressWindow* progress) {
    context.deviceList = deviceList_;
    context.resultWindow = this;
    context.progressWindow = progress;
    context.setupPageButton = setupPageButton_;
    context.scanButton = scanButton_;
    return context;
}

BOOL ResultWindow::OnInitDialog() {
    // Controls bound to their fields
    win::Dialog::OnInitDialog();

    // The header arrows: image 0 points down, image 1 up
    sortArrows_.reset(ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 2, 2));
    for (UINT id : {IDI_SORT_DOWN, IDI_SORT_UP}) {
        win::UniqueIcon arrow = LoadIconResource(id, 16);
        ImageList_AddIcon(sortArrows_.get(), arrow.get());
    }
    sortColumn_ = -1;
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(windowIcon_.get()));
    // The size of the window as designed; it goes to 0 x 0 further down
    SetWindowPos(hwnd(), nullptr, 0, 0, kInitialWidth, kInitialHeight, SWP_NOMOVE | SWP_NOZORDER);
    // The single-instance marker
    SetPropA(hwnd(), kInstanceProperty, reinterpret_cast<HANDLE>(1));
    mode_ = 1;
    toolTip_.Create(hwnd());
    RECT listClient{};
    GetClientRect(deviceList_, &listClient);
    SetTitle(win::LoadText(IDS_RESULT_TITLE));
    SetItemText(IDC_LIST_LABEL, win::LoadText(IDS_LIST_LABEL));
    // A third of the client width each; the remainder stays empty
    const int columnWidth = (listClient.right - listClient.left) / 3;
    const UINT columnTexts[] = {IDS_COLUMN_NAME, IDS_COLUMN_ADDRESS, IDS_COLUMN_MAC};
    for (int index = 0; index < 3; ++index) {
        std::wstring text = win::LoadText(columnTexts[index]);
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.cx = columnWidth;
        column.pszText = &text[0];
        SendMessageW(deviceList_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(index),
                     reinterpret_cast<LPARAM>(&column));
    }
    SetItemText(IDC_SCAN, win::LoadText(IDS_SCAN));
    toolTip_.Add(Item(IDC_SCAN), IDS_TIP_SCAN);
    SetItemText(IDC_CLOSE, win::LoadText(IDS_CLOSE));
    toolTip_.Add(Item(IDC_CLOSE), IDS_TIP_CLOSE);
    SetItemText(IDC_SETUP_PAGE, win::LoadText(IDS_SETUP_PAGE));
    toolTip_.Add(Item(IDC_SETUP_PAGE), IDS_TIP_SETUP_PAGE);
    SetItemText(IDC_IP_ADDRESS_SETUP, win::LoadText(IDS_IP_ADDRESS_SETUP));
    toolTip_.Add(Item(IDC_IP_ADDRESS_SETUP), IDS_TIP_IP_ADDRESS_SETUP);
    // Hidden, at 0, 0 with no size; the modal run shows it when idle
    SetWindowLongW(hwnd(), GWL_EXSTYLE, GetWindowLongW(hwnd(), GWL_EXSTYLE) & ~WS_EX_APPWINDOW);
    SetWindowPos(hwnd(), HWND_TOP, 0, 0, 0, 0, SWP_HIDEWINDOW);
    // Exactly these, every other extended style off
    SendMessageW(deviceList_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, kListExtendedStyles);
    // Centred on the screen, since this window is not visible yet
    ProgressWindow* progress = OpenProgressWindow();
    WorkerContext& context = FillContext(InitialContext(), progress);
    // The Scan button is the one-scan-at-a-time guard: it is disabled
    // before any flow starts, so a Scan command cannot slip in before the
    // initial flow has disabled it itself.
    EnableWindow(scanButton_, FALSE);
    // Without its flow nothing would ever show this window: the user gets it
    // with Scan, as after a failed rescan.
    if (!StartFlow(entryPoints_.initialScanFlow, context)) ShowToUser();
    sortFlag_ = 1;
    return TRUE;
}

bool ResultWindow::StartFlow(win::WorkerProc procedure, WorkerContext& context) {
    if (!procedure || entryPoints_.startFlowThread(procedure, &context)) return true;
    // No flow will ever close the progress display or give the button back.
    CloseProgressWindow(context);
    EnableWindow(scanButton_, TRUE);
    return false;
}

void ResultWindow::ShowToUser() {
    SetWindowPos(hwnd(), nullptr, 0, 0, kInitialWidth, kInitialHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    win::CenterWindow(hwnd(), nullptr);
    ShowWindow(hwnd(), SW_SHOW);
}

void ResultWindow::OnScan() {
    // One scan flow at a time: the disabled button says a flow runs. It is
    // disabled here, before anything else, so that a second Scan command
    // queued behind this one finds it disabled.
    if (!IsWindowEnabled(scanButton_)) return;
    EnableWindow(scanButton_, FALSE);
    ProgressWindow* progress = OpenProgressWindow();
    StartFlow(entryPoints_.rescanFlow, FillContext(RescanContext(), progress));
}

void ResultWindow::ReopenProgressWindow(WorkerContext& context) {
    SendMessageW(hwnd(), kReopenProgressMessage, 0, reinterpret_cast<LPARAM>(&context));
}

bool ResultWindow::OnReopenProgress(WPARAM, LPARAM lParam, LRESULT*) {
    reinterpret_cast<WorkerContext*>(lParam)->progressWindow = OpenProgressWindow();
    return true;
}

void ShowProgressText(const WorkerContext& context, UINT textId) {
    if (context.progressWindow && context.progressWindow->hwnd()) {
        SendMessageW(context.progressWindow->hwnd(), ProgressWindow::kShowTextMessage, textId, 0);
    }
}

void CloseProgressWindow(const WorkerContext& context) {
    if (context.progressWindow && context.progressWindow->hwnd()) {
        SendMessageW(context.progressWindow->hwnd(), WM_CLOSE, 0, 0);
    }
}

bool ResultWindow::DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    static const win::MessageEntry<ResultWindow> kTable[] = {
        win::OnCommandFrom(IDC_CLOSE, &ResultWindow::CloseResultWindow),
        win::OnCommandFrom(IDC_SCAN, &ResultWindow::OnScan),
        win::OnCommandFrom(IDC_SETUP_PAGE, &ResultWindow::LaunchSelected),
        win::OnCommandFrom(IDC_IP_ADDRESS_SETUP, &ResultWindow::OnIpAddressSetup),
        win::OnNotifyFrom(IDC_DEVICE_LIST, NM_CLICK, &ResultWindow::OnListClick),
        win::OnNotifyFrom(IDC_DEVICE_LIST, LVN_COLUMNCLICK, &ResultWindow::ColumnSort),
        win::OnNotifyFrom(IDC_DEVICE_LIST, NM_DBLCLK, &ResultWindow::OnListDoubleClick),
        win::OnMessage(WM_SYSCOMMAND, &ResultWindow::OnSysCommand),
        win::OnMessage(WM_DESTROY, &ResultWindow::OnDestroy),
        win::OnMessage(DM_GETDEFID, &ResultWindow::OnGetDefaultId),
        win::OnMessage(kReopenProgressMessage, &ResultWindow::OnReopenProgress),
    };
    return Dispatch(this, kTable, message, wParam, lParam, result);
}

bool ResultWindow::PreTranslateMessage(MSG* message) {
    toolTip_.Relay(message);
    return win::Dialog::PreTranslateMessage(message);
}

void ResultWindow::CloseResultWindow() {
    if (!hwnd()) return;
    RemovePropA(hwnd(), kInstanceProperty);
    if (HWND owner = GetWindow(hwnd(), GW_OWNER)) ::DestroyWindow(owner);
    DestroyWindow();
}

void ResultWindow::OnIpAddressSetup() {
    // The button has a label and a tip but no action.
}

void ResultWindow::LaunchSelected() {
    if (entryPoints_.launchSelected) entryPoints_.launchSelected(*this);
}

void ResultWindow::OnListClick(NMHDR*, LRESULT*) {
    if (SendMessageW(deviceList_, LVM_GETSELECTIONMARK, 0, 0) >= 0) {
        EnableWindow(setupPageButton_, TRUE);
    }
    SetWindowLongW(deviceList_, GWL_STYLE,
                   GetWindowLongW(deviceList_, GWL_STYLE) | kListStylesAfterClick);
}

void ResultWindow::OnListDoubleClick(NMHDR*, LRESULT*) { LaunchSelected(); }

bool ResultWindow::OnSysCommand(WPARAM wParam, LPARAM, LRESULT*) {
    switch (wParam & 0xFFF0) {
        case SC_CONTEXTHELP:
            // Straight to the page; the pointer never enters help mode.
            HelpLauncher().OpenTopic(kTopicResult);
            return true;
        case SC_CLOSE:
            CloseResultWindow();
            return true;
        default:
            return false;
    }
}

bool ResultWindow::OnGetDefaultId(WPARAM, LPARAM, LRESULT* result) {
    // Three buttons carry the default style; the dialog manager would make
    // Enter press the first of them. Enter is the OK command here, which the
    // command filter drops.
    *result = MAKELONG(IDOK, DC_HASDEFID);
    return true;
}

bool ResultWindow::OnDestroy(WPARAM, LPARAM, LRESULT*) {
    toolTip_.Destroy();
    return false;
}

}  // namespace ui
