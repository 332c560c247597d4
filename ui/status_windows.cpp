#include "ui/status_windows.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

#include "res/resource.h"
#include "win/language.h"
#include "win/window_util.h"

namespace ui {
namespace {

constexpr UINT_PTR kProgressTimer = 1;
constexpr int kFirstPosition = 1;
constexpr int kStep = 3;
constexpr int kWrapAt = 100;  // the bar never shows its upper bound

}  // namespace

// ---- ProgressWindow ----

// Enter must not end a scan's progress display; Esc and the close request
// reach the default cancel, which hides it.
ProgressWindow::ProgressWindow() : win::Dialog(IDD_PROGRESS, kIgnoresEnter) {}

bool ProgressWindow::Open(HWND resultWindow) {
    if (!Create(resultWindow)) return false;
    win::CenterWindow(hwnd(), resultWindow);
    ShowWindow(hwnd(), SW_SHOW);
    UpdateWindow(hwnd());
    return true;
}

void ProgressWindow::DoDataExchange() { Bind(IDC_PROGRESS_BAR, progressBar_); }

BOOL ProgressWindow::OnInitDialog() {
    win::Dialog::OnInitDialog();
    SetItemText(IDC_STATUS_TEXT, win::LoadText(IDS_SCANNING));
    SendMessageW(progressBar_, PBM_SETRANGE32, 0, kWrapAt);
    SendMessageW(progressBar_, PBM_SETPOS, 0, 0);
    counter_ = kFirstPosition;
    timerId_ = SetTimer(hwnd(), kProgressTimer, kTimerPeriodMs, nullptr);
    return TRUE;
}

bool ProgressWindow::DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    static const win::MessageEntry<ProgressWindow> kTable[] = {
        win::OnMessage(WM_CLOSE, &ProgressWindow::OnClose),
        win::OnMessage(WM_TIMER, &ProgressWindow::OnTimer),
        win::OnMessage(kShowTextMessage, &ProgressWindow::OnShowText),
    };
    return Dispatch(this, kTable, message, wParam, lParam, result);
}

bool ProgressWindow::OnClose(WPARAM, LPARAM, LRESULT*) {
    KillTimer(hwnd(), timerId_);
    DefaultClose();
    return true;
}

bool ProgressWindow::OnTimer(WPARAM, LPARAM, LRESULT*) {
    SendMessageW(progressBar_, PBM_SETPOS, static_cast<WPARAM>(counter_), 0);
    counter_ += kStep;
    if (counter_ >= kWrapAt) counter_ = kFirstPosition;
    return false;  // default processing as well
}

bool ProgressWindow::OnShowText(WPARAM wParam, LPARAM, LRESULT*) {
    ShowText(static_cast<UINT>(wParam));
    return true;
}

void ProgressWindow::ShowText(UINT textId) {
    const std::wstring text = win::LoadText(textId);
    HWND control = Item(IDC_STATUS_TEXT);
    SetWindowTextW(control, text.c_str());
    RECT placed{};
    GetWindowRect(control, &placed);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&placed), 2);
    HDC dc = GetDC(control);
    const HGDIOBJ previous =
        SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
    SIZE extent{};
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(control, dc);
    const int grow = extent.cx - (placed.right - placed.left);
    if (grow <= 0) return;
    // The text keeps its left margin on its right as well.
    RECT client{};
    GetClientRect(hwnd(), &client);
    const int widen = std::max(0L, placed.left + extent.cx + placed.left - client.right);
    SetWindowPos(control, nullptr, 0, 0, extent.cx, placed.bottom - placed.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT window{};
    GetWindowRect(hwnd(), &window);
    SetWindowPos(hwnd(), nullptr, 0, 0, window.right - window.left + widen, window.bottom - window.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    win::CenterWindow(hwnd(), GetParent(hwnd()));
    RedrawWindow(hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

// ---- status windows shown during a blocking call ----

bool ShowStatusWindow(win::Dialog& window, HWND parent, HWND centreOver) {
    if (!window.Create(parent)) return false;
    SetWindowPos(window.hwnd(), nullptr, 0, 0, kStatusWindowWidth, kStatusWindowHeight,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    win::CenterWindow(window.hwnd(), centreOver);
    ShowWindow(window.hwnd(), SW_SHOW);
    UpdateWindow(window.hwnd());
    return true;
}

LaunchingWindow::LaunchingWindow() : win::Dialog(IDD_LAUNCHING, kIgnoresEnterAndEsc) {}

BOOL LaunchingWindow::OnInitDialog() {
    win::Dialog::OnInitDialog();
    // Only the converter kind exists; another kind shows no text.
    SetItemText(IDC_STATUS_TEXT, kind == 1 ? win::LoadText(IDS_LAUNCHING) : std::wstring());
    return TRUE;
}

SettingAddressWindow::SettingAddressWindow()
    : win::Dialog(IDD_SETTING_ADDRESS, kIgnoresEnterAndEsc) {}

BOOL SettingAddressWindow::OnInitDialog() {
    win::Dialog::OnInitDialog();
    SetItemText(IDC_STATUS_TEXT, win::LoadText(IDS_SETTING_ADDRESS));
    return TRUE;
}

}  // namespace ui
