#include "ui/notice_dialog.h"

#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "res/resource.h"
#include "ui/allow_in_firewall.h"
#include "win/handles.h"
#include "win/language.h"
#include "win/window_util.h"

namespace ui {

UINT NoticeTextId(Notice notice) {
    switch (notice) {
        case Notice::kAssignFailed: return IDS_NOTICE_ASSIGN_FAILED;
        case Notice::kOpenFailed: return IDS_NOTICE_OPEN_FAILED;
        case Notice::kRescanNotFound: return IDS_NOTICE_NOT_DETECTED_RESCAN;
        case Notice::kNotFound: return IDS_NOTICE_NOT_DETECTED;
        case Notice::kSeveral: return IDS_NOTICE_SEVERAL;
        case Notice::kIncompleteAddress: return IDS_NOTICE_INCOMPLETE_ADDRESS;
        default: return 0;
    }
}

bool NoticeOffersScanAgain(Notice code) { return code == Notice::kRescanNotFound || code == Notice::kNotFound; }

bool NoticeOffersAllowInFirewall(Notice code, const NoticeFindings& findings) {
    return NoticeOffersScanAgain(code) && findings.firewallMayBlock;
}

namespace {

int LineHeight(HWND window, HFONT font) {
    HDC dc = GetDC(window);
    const HGDIOBJ previous = SelectObject(dc, font);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(window, dc);
    return metrics.tmHeight;
}

RECT ClientRectOf(HWND child) {
    RECT rect{};
    GetWindowRect(child, &rect);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void MoveBy(HWND child, int dy) {
    const RECT rect = ClientRectOf(child);
    SetWindowPos(child, nullptr, rect.left, rect.top + dy, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MoveTo(HWND child, int x, int y) {
    SetWindowPos(child, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

NoticeDialog::NoticeDialog() : win::Dialog(IDD_NOTICE) {}

bool NoticeDialog::DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    static const win::MessageEntry<NoticeDialog> kTable[] = {
        win::OnCommandFrom(IDC_SCAN_AGAIN, &NoticeDialog::OnScanAgain),
        win::OnCommandFrom(IDC_ALLOW_IN_FIREWALL, &NoticeDialog::OnAllowInFirewall),
        win::OnMessage(WM_DESTROY, &NoticeDialog::OnDestroy),
    };
    return Dispatch(this, kTable, message, wParam, lParam, result);
}

void NoticeDialog::OnScanAgain() {
    if (Item(IDC_SCAN_AGAIN)) EndDialog(kNoticeScanAgain);
}

void NoticeDialog::OnAllowInFirewall() {
    if (!Item(IDC_ALLOW_IN_FIREWALL)) return;
    // The notice takes no input while the copy runs; its owner already takes none.
    const win::ElevatedRun run = StartAllowInFirewall(hwnd());
    // With the rules there, the search the user would start next.
    if (AllowedInFirewall(run)) {
        EndDialog(kNoticeScanAgain);
    } else {
        ShowFirewallLine(AllowInFirewallFailure(run));
    }
}

void NoticeDialog::ShowFirewallLine(const std::wstring& text) {
    HWND line = Item(IDC_NOTICE_FIREWALL_LINE);
    const bool made = line == nullptr;
    RECT margin{7, 4, 0, 0};  // as the findings box's
    MapDialogRect(hwnd(), &margin);
    RECT client{};
    GetClientRect(hwnd(), &client);
    HWND above = Item(IDC_NOTICE_FINDINGS) ? Item(IDC_NOTICE_FINDINGS) : Item(IDC_NOTICE_TEXT);
    const int width = client.right - 2 * margin.left;
    if (made) {
        line = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_LEFT | SS_NOPREFIX, margin.left,
                               ClientRectOf(above).bottom + margin.top, width, 0, hwnd(),
                               reinterpret_cast<HMENU>(IDC_NOTICE_FIREWALL_LINE), win::ResourceModule(), nullptr);
        if (!line) return;
        SendMessageW(line, WM_SETFONT, SendMessageW(hwnd(), WM_GETFONT, 0, 0), FALSE);
    }
    SetWindowTextW(line, text.c_str());
    // As tall as the text wrapped at the line's width.
    RECT needed{0, 0, width, 0};
    HDC dc = GetDC(line);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(line, WM_GETFONT, 0, 0)));
    DrawTextW(dc, text.c_str(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, previous);
    ReleaseDC(line, dc);
    const RECT was = ClientRectOf(line);
    const int grow = (needed.bottom - (was.bottom - was.top)) + (made ? margin.top : 0);
    SetWindowPos(line, nullptr, 0, 0, width, needed.bottom, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GrowBy(grow);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

bool NoticeDialog::PreTranslateMessage(MSG* message) {
    toolTip_.Relay(message);
    return win::Dialog::PreTranslateMessage(message);
}

bool NoticeDialog::OnDestroy(WPARAM, LPARAM, LRESULT*) {
    toolTip_.Destroy();
    return false;
}

void NoticeDialog::Widen() {
    RECT wide{0, 0, kWideNoticeWidth, 0};
    MapDialogRect(hwnd(), &wide);
    RECT notice{}, client{};
    GetWindowRect(hwnd(), &notice);
    GetClientRect(hwnd(), &client);
    const RECT work = win::WorkArea(hwnd());
    const int frame = (notice.right - notice.left) - client.right;
    const int width = std::min<int>(wide.right + frame, work.right - work.left);
    SetWindowPos(hwnd(), nullptr, 0, 0, width, notice.bottom - notice.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void NoticeDialog::AddScanAgainButton() {
    const RECT yes = ClientRectOf(Item(IDOK));
    HWND button = CreateWindowExW(0, L"BUTTON", win::LoadText(IDS_SCAN_AGAIN).c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, yes.left, yes.top,
                                  yes.right - yes.left, yes.bottom - yes.top, hwnd(),
                                  reinterpret_cast<HMENU>(IDC_SCAN_AGAIN), win::ResourceModule(), nullptr);
    if (!button) return;
    SendMessageW(button, WM_SETFONT, SendMessageW(hwnd(), WM_GETFONT, 0, 0), FALSE);
    // After No in the tab order: Yes, the first, keeps the focus that
    // the dialog manager gives, and with it Enter.
    SetWindowPos(button, Item(IDCANCEL), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    toolTip_.Create(hwnd());
    toolTip_.Add(button, IDS_TIP_SCAN_AGAIN);
}

void NoticeDialog::AddAllowInFirewallButton() {
    const RECT yes = ClientRectOf(Item(IDOK));
    const std::wstring label = win::LoadText(IDS_ALLOW_IN_FIREWALL);
    const HFONT font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    SIZE extent{};
    HDC dc = GetDC(hwnd());
    const HGDIOBJ previous = SelectObject(dc, font);
    GetTextExtentPoint32W(dc, label.c_str(), static_cast<int>(label.size()), &extent);
    SelectObject(dc, previous);
    ReleaseDC(hwnd(), dc);
    // The shield is a small icon left of the text; the padding each side as
    // the dialog font's average character (4 units) gives it.
    RECT padding{4, 0, 0, 0};
    MapDialogRect(hwnd(), &padding);
    const int width = std::max<int>(yes.right - yes.left,
                                    extent.cx + GetSystemMetrics(SM_CXSMICON) + 3 * padding.left);
    HWND button = CreateWindowExW(0, L"BUTTON", label.c_str(), WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                  yes.left, yes.top, width, yes.bottom - yes.top, hwnd(),
                                  reinterpret_cast<HMENU>(IDC_ALLOW_IN_FIREWALL), win::ResourceModule(), nullptr);
    if (!button) return;
    SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    // Windows asks for an administrator's consent when it is pressed.
    Button_SetElevationRequiredState(button, TRUE);
    // Last in the tab order, after Scan Again.
    SetWindowPos(button, Item(IDC_SCAN_AGAIN), 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    toolTip_.Add(button, IDS_TIP_ALLOW_IN_FIREWALL);
}

void NoticeDialog::LayOutButtons() {
    const RECT yes = ClientRectOf(Item(IDOK)), no = ClientRectOf(Item(IDCANCEL));
    const int gap = no.left - yes.right;
    std::vector<HWND> row;
    if (HWND allow = Item(IDC_ALLOW_IN_FIREWALL)) row.push_back(allow);
    if (HWND scanAgain = Item(IDC_SCAN_AGAIN)) row.push_back(scanAgain);
    row.push_back(Item(IDOK));
    row.push_back(Item(IDCANCEL));
    int total = -gap;
    for (HWND button : row) {
        const RECT rect = ClientRectOf(button);
        total += rect.right - rect.left + gap;
    }
    RECT client{};
    GetClientRect(hwnd(), &client);
    int x = (client.right - total) / 2;
    for (HWND button : row) {
        const RECT rect = ClientRectOf(button);
        MoveTo(button, x, yes.top);
        x += rect.right - rect.left + gap;
    }
}

void NoticeDialog::AddFindingsBox() {
    RECT margin{7, 4, 0, 0};  // dialog units: the box's side margins, its gap below the text
    MapDialogRect(hwnd(), &margin);
    RECT client{};
    GetClientRect(hwnd(), &client);
    const RECT text = ClientRectOf(Item(IDC_NOTICE_TEXT));
    const auto font = reinterpret_cast<HFONT>(SendMessageW(hwnd(), WM_GETFONT, 0, 0));
    const int lineHeight = LineHeight(hwnd(), font);
    const int width = client.right - 2 * margin.left;
    // Laid out at full height first: the wrapped text's line count says how
    // tall the box must be, and whether it needs to scroll.
    win::UniqueWindow box;
    int lines = 0;
    for (const DWORD scroll : {DWORD{0}, DWORD{WS_VSCROLL}}) {
        box.reset(CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"",
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_READONLY | scroll,
                                  margin.left, text.bottom + margin.top, width,
                                  (kFindingsLines + 1) * lineHeight, hwnd(),
                                  reinterpret_cast<HMENU>(IDC_NOTICE_FINDINGS), win::ResourceModule(),
                                  nullptr));
        if (!box) return;
        SendMessageW(box.get(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        SetWindowTextW(box.get(), findings.text.c_str());
        lines = static_cast<int>(SendMessageW(box.get(), EM_GETLINECOUNT, 0, 0));
        if (lines <= kFindingsLines) break;
    }
    // Its frame, and the space the box keeps above its text and as much below.
    RECT outer{}, inner{}, format{};
    GetWindowRect(box.get(), &outer);
    GetClientRect(box.get(), &inner);
    SendMessageW(box.get(), EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const int height = std::min(lines, kFindingsLines) * lineHeight + (outer.bottom - outer.top) -
                       inner.bottom + 2 * std::max(0L, format.top);
    SetWindowPos(box.get(), nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    box.release();  // the notice's child from here on

    GrowBy(margin.top + height);
}

void NoticeDialog::GrowBy(int dy) {
    for (const int id : {IDOK, IDCANCEL, IDC_SCAN_AGAIN, IDC_ALLOW_IN_FIREWALL}) {
        if (HWND button = Item(id)) MoveBy(button, dy);
    }
    RECT notice{};
    GetWindowRect(hwnd(), &notice);
    SetWindowPos(hwnd(), nullptr, 0, 0, notice.right - notice.left, notice.bottom - notice.top + dy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL NoticeDialog::OnInitDialog() {
    win::Dialog::OnInitDialog();
    SetTitle(win::LoadText(IDS_ERROR));
    // A code outside the table shows no text rather than a wrong one.
    const UINT textId = NoticeTextId(code);
    SetItemText(IDC_NOTICE_TEXT, textId ? win::LoadText(textId) : std::wstring());
    SetItemText(IDOK, win::LoadText(IDS_YES));
    SetItemText(IDCANCEL, win::LoadText(IDS_NO));
    const bool box = !findings.text.empty() && findings::ShowsFindings(code);
    const bool scanAgain = NoticeOffersScanAgain(code);
    if (!box && !scanAgain) return TRUE;  // exactly the template
    Widen();
    if (scanAgain) AddScanAgainButton();
    if (NoticeOffersAllowInFirewall(code, findings)) AddAllowInFirewallButton();
    if (box) AddFindingsBox();
    LayOutButtons();
    // Grown, it is no longer where the framework would have centred it.
    win::CenterWindow(hwnd(), GetWindow(hwnd(), GW_OWNER));
    return TRUE;  // the default push button, Yes, takes the focus
}

}  // namespace ui
