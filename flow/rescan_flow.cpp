#include "flow/rescan_flow.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <new>
#include <string>

#include "flow/scan_flow.h"
#include "net/discovery_client.h"
#include "res/resource.h"
#include "ui/help_launcher.h"
#include "ui/notice_dialog.h"
#include "ui/notice_findings.h"
#include "ui/result_window.h"

namespace flow {
namespace {

bool HasSelectionMark(HWND list) { return SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0) >= 0; }

// The scan, the list it fills and, when it lists nothing, the notice; true
// when the user asked to scan again.
bool Rescan(ui::WorkerContext& context) {
    ui::ResultWindow& window = *context.resultWindow;
    HWND list = context.deviceList;

    net::DiscoveryClient client;
    std::int32_t count = 0;
    AddressWaitOnce wait;
    const int poll = ScanForConverters(context, client, &count, &wait);
    int rows = 0;
    if (poll == kScanDone && count > 0) {
        rows = window.ListFill(&client.DeviceTable(), count);
        if (rows == 1) {
            LVITEMW item{};
            item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            item.state = LVIS_SELECTED | LVIS_FOCUSED;
            SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
            // The Setup Page button launches the marked row: mark the one
            // converter too, so that the enabled button opens it.
            SendMessageW(list, LVM_SETSELECTIONMARK, 0, 0);
            EnableWindow(context.setupPageButton, TRUE);
            SetWindowLongW(list, GWL_STYLE,
                           GetWindowLongW(list, GWL_STYLE) | ui::kListStylesAfterClick);
        } else if (!HasSelectionMark(list)) {
            EnableWindow(context.setupPageButton, FALSE);
        }
    } else if (!HasSelectionMark(list)) {
        EnableWindow(context.setupPageButton, FALSE);
    }
    // Nothing listed, whatever the reason: socket failure, silence, host
    // unreachable or only unsupported models. The progress display stays
    // until the notice is answered. The notice is owned by the result window,
    // which takes no input while it is open.
    if (rows != 0) return false;
    ui::NoticeDialog notice;
    notice.code = ui::Notice::kRescanNotFound;
    notice.findings = ui::NoticeFindingsFor(notice.code, nullptr, std::string(), wait.waitedSeconds);
    const INT_PTR answer = notice.DoModal(window.hwnd());
    if (answer == 1) ui::HelpLauncher().OpenTopic(ui::kTopicRescanNotFound);
    return answer == ui::kNoticeScanAgain;
}

}  // namespace

unsigned RescanFlow(void* raw) {
    auto* context = static_cast<ui::WorkerContext*>(raw);
    if (!context || !context->resultWindow) return 0;
    ui::ResultWindow& window = *context->resultWindow;
    // Nothing may unwind out of the thread. Out of memory on the way (a
    // notice's findings go without, on their own), the rescan ends as every
    // rescan does, and the window is as usable as before.
    bool again = false;
    try {
        again = Rescan(*context);
    } catch (const std::bad_alloc&) {
    }
    window.RemoveSortArrow();
    SetForegroundWindow(window.hwnd());
    ui::CloseProgressWindow(*context);
    EnableWindow(context->scanButton, TRUE);
    // Scan Again: the rescan once more, as the Scan button starts it, with
    // a progress window of its own.
    if (again) SendMessageW(window.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0);
    return 0;
}

}  // namespace flow
