#include "flow/initial_scan_flow.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <string>

#include "flow/ip_setup_dialog.h"
#include "flow/setup_page_launcher.h"
#include "net/discovery_client.h"
#include "res/resource.h"
#include "ui/help_launcher.h"
#include "ui/notice_dialog.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"
#include "win/language.h"

namespace flow {
namespace {

constexpr int kAssignFailedNotice = 1;
constexpr int kOpenFailedNotice = 3;
constexpr int kNotFoundNotice = 5;
constexpr int kSeveralNotice = 6;

// ScanPoll's answers that the flow tells apart.
constexpr int kPollRunning = 1;
constexpr int kPollDone = 0;
constexpr int kPollHostUnreachable = 10065;

// A count above the table's capacity cannot come from the table itself; it
// is read as one short of it.
constexpr std::int32_t kCountCeiling = 64;
constexpr std::int32_t kCountReadAs = 63;

class InitialFlow {
public:
    explicit InitialFlow(ui::WorkerContext& context)
        : context_(context), window_(*context.resultWindow) {}

    unsigned Run();

private:
    int Scan();
    void CloseProgressWindow();
    // A notice over the result window; true for Yes.
    bool Notice(int code);
    void OfferHelp(int code, const char* topic);
    void HostUnreachable();
    void OpenSetupPage(const std::string& address);
    void ConverterInAnotherSubnet(const std::string& mac);
    // Returns only where the process end is a test's stand-in.
    unsigned EndProcess(bool closeResultWindow);

    ui::WorkerContext& context_;
    ui::ResultWindow& window_;
    net::DiscoveryClient client_;
    std::int32_t status_ = 0;
    std::int32_t count_ = 0;
};

unsigned InitialFlow::Run() {
    // 1. The list empties and both buttons go grey before the scan starts.
    SendMessageW(context_.deviceList, LVM_DELETEALLITEMS, 0, 0);
    EnableWindow(context_.scanButton, FALSE);
    EnableWindow(context_.setupPageButton, FALSE);

    // 2. and 3.
    const int polled = Scan();

    // 4.
    if (polled != kPollDone) {
        CloseProgressWindow();
        if (polled == kPollHostUnreachable) {
            HostUnreachable();
        } else {
            OfferHelp(kNotFoundNotice, ui::kTopicNotFound);
        }
        return EndProcess(true);
    }

    // 5. The texts of the last row inserted: with one row, that converter's.
    ui::ListedRow last;
    const int rows = window_.ListFill(&client_.DeviceTable(), count_, &last);

    if (rows == 1) {
        // 6.
        CloseProgressWindow();
        char pcAddress[net::kAddressTextSize] = "";
        char pcNetmask[net::kAddressTextSize] = "";
        switch (client_.SubnetTest(pcAddress, pcNetmask, last.address)) {
            case 1:
                OpenSetupPage(last.address);
                return EndProcess(true);
            case 0:
                ConverterInAnotherSubnet(last.mac);
                return EndProcess(true);
            default:
                // The interfaces could not be read: say nothing and hand the
                // window to the user, who can rescan or pick the row.
                EnableWindow(context_.scanButton, TRUE);
                return 0;
        }
    }
    if (rows >= 2) {
        // 7. The result window is left alone on this path.
        CloseProgressWindow();
        OfferHelp(kSeveralNotice, ui::kTopicSeveral);
        return EndProcess(false);
    }
    // 8.
    CloseProgressWindow();
    OfferHelp(kNotFoundNotice, ui::kTopicNotFound);
    return EndProcess(true);
}

int InitialFlow::Scan() {
    client_.ScanStart(&status_);
    int polled = client_.ScanPoll(&status_, &count_);
    while (polled == kPollRunning) {
        Sleep(kScanPollPauseMs);
        polled = client_.ScanPoll(&status_, &count_);
    }
    // ScanPoll writes the count only for a scan that finished cleanly.
    if (polled == kPollDone && count_ > kCountCeiling) count_ = kCountReadAs;
    return polled;
}

void InitialFlow::CloseProgressWindow() {
    if (context_.progressWindow && context_.progressWindow->hwnd()) {
        SendMessageW(context_.progressWindow->hwnd(), WM_CLOSE, 0, 0);
    }
}

bool InitialFlow::Notice(int code) {
    ui::NoticeDialog notice;
    notice.code = code;
    return notice.DoModal(window_.hwnd()) == 1;
}

void InitialFlow::OfferHelp(int code, const char* topic) {
    if (Notice(code)) ui::HelpLauncher().OpenTopic(topic);
}

void InitialFlow::HostUnreachable() {
    const std::wstring text = win::LoadText(IDS_SCAN_UNREACHABLE);
    const std::wstring caption = win::LoadText(IDS_ERROR);
    if (MessageBoxW(window_.hwnd(), text.c_str(), caption.c_str(), MB_YESNO | MB_ICONINFORMATION) ==
        IDYES) {
        ui::HelpLauncher().OpenTopic(ui::kTopicNotFound);
    }
}

void InitialFlow::OpenSetupPage(const std::string& address) {
    // The launching window has no parent here: it belongs to this thread,
    // while the result window belongs to the window thread.
    SetupPageLauncher(address.c_str(), nullptr, window_,
                      [this] { OfferHelp(kOpenFailedNotice, ui::kTopicOpenFailed); });
}

void InitialFlow::ConverterInAnotherSubnet(const std::string& mac) {
    {
        IpSetupDialog setup;
        setup.SetConverterMac(mac);
        setup.SetOwnerWindow(&window_);
        setup.DoModal(window_.hwnd());
    }
    // The dialog wrote it on this thread before it closed; empty when it was
    // cancelled or the converter did not take the address.
    const std::string assigned = window_.AssignedAddress();
    if (!assigned.empty()) {
        OpenSetupPage(assigned);
    } else {
        OfferHelp(kAssignFailedNotice, ui::kTopicAddressChange);
    }
}

unsigned InitialFlow::EndProcess(bool closeResultWindow) {
    // A request the window's command filter drops: the window stays on screen
    // until the process goes, and nothing waits for the window thread.
    if (closeResultWindow) SendMessageW(window_.hwnd(), WM_CLOSE, 0, 0);
    if (auto end = window_.entryPoints().endProcess) end(0);
    return 1;
}

}  // namespace

unsigned InitialScanFlow(void* raw) {
    auto* context = static_cast<ui::WorkerContext*>(raw);
    if (!context || !context->resultWindow) return 0;
    return InitialFlow(*context).Run();
}

}  // namespace flow
