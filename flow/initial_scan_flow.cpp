#include "flow/initial_scan_flow.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <new>
#include <string>

#include "flow/ip_setup_dialog.h"
#include "flow/scan_flow.h"
#include "flow/setup_page_launcher.h"
#include "net/discovery_client.h"
#include "res/resource.h"
#include "ui/help_launcher.h"
#include "ui/notice_dialog.h"
#include "ui/notice_findings.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"
#include "win/language.h"

namespace flow {
namespace {

class InitialFlow {
public:
    explicit InitialFlow(ui::WorkerContext& context)
        : context_(context), window_(*context.resultWindow) {}

    unsigned Run();
    // The window is the user's from now on, who can scan again or close it:
    // the flow ends and the program runs on. Returns 0.
    unsigned HandOver();

private:
    // A notice over the result window; true for Yes.
    bool Notice(ui::Notice code);
    // Notice 5 and, on Yes, its help; true when the user asked to scan again.
    bool NotFound();
    void OfferHelp(ui::Notice code, const char* topic);
    void HostUnreachable();
    void OpenSetupPage(const std::string& address, const net::Link& link);
    void ConverterInAnotherSubnet(const std::string& mac, const net::Link& link);
    // Returns only where the process end is a test's stand-in.
    unsigned EndProcess(bool closeResultWindow);

    ui::WorkerContext& context_;
    ui::ResultWindow& window_;
    net::DiscoveryClient client_;
    std::int32_t count_ = 0;
    int waitedSeconds_ = 0;  // the last scan's wait for an address
    // The address setup's exchange, for the findings of its notice.
    bool exchanged_ = false;
    net::AssignReport exchange_;
    std::string exchangeAddress_;
    // The page check that met no page, for notice 3's findings.
    findings::Inputs page_;
};

unsigned InitialFlow::Run() {
    // Scan Again on notice 5 starts over here, with a wait of its own.
    for (;;) {
        AddressWaitOnce wait;
        const int polled = ScanForConverters(context_, client_, &count_, &wait);
        waitedSeconds_ = wait.waitedSeconds;
        if (polled == kScanHostUnreachable) {
            ui::CloseProgressWindow(context_);
            HostUnreachable();
            return EndProcess(true);
        }
        // The texts of the last row inserted: with one row, that converter's.
        ui::ListedRow last;
        const int rows = polled == kScanDone ? window_.ListFill(&client_.DeviceTable(), count_, &last) : 0;
        ui::CloseProgressWindow(context_);
        if (rows == 0) {
            if (!NotFound()) return EndProcess(true);
            window_.ReopenProgressWindow(context_);
            continue;
        }
        if (rows >= 2) {
            // The result window is left alone on this path.
            OfferHelp(ui::Notice::kSeveral, ui::kTopicSeveral);
            return EndProcess(false);
        }
        char pcAddress[net::kAddressTextSize] = "";
        char pcNetmask[net::kAddressTextSize] = "";
        switch (client_.SubnetTest(pcAddress, pcNetmask, last.address, last.link)) {
            case 1:
                OpenSetupPage(last.address, last.link);
                return EndProcess(true);
            case 0:
                ConverterInAnotherSubnet(last.mac, last.link);
                return EndProcess(true);
            default:
                // The interfaces could not be read: no notice, but the user
                // can rescan or pick the row.
                return HandOver();
        }
    }
}

bool InitialFlow::NotFound() {
    ui::NoticeDialog notice;
    notice.code = ui::Notice::kNotFound;
    notice.findings = ui::NoticeFindingsFor(notice.code, nullptr, std::string(), waitedSeconds_);
    const INT_PTR answer = notice.DoModal(window_.hwnd());
    if (answer == 1) ui::HelpLauncher().OpenTopic(ui::kTopicNotFound);
    return answer == ui::kNoticeScanAgain;
}

unsigned InitialFlow::HandOver() {
    ui::CloseProgressWindow(context_);
    EnableWindow(context_.scanButton, TRUE);
    window_.ShowToUser();
    return 0;
}

bool InitialFlow::Notice(ui::Notice code) {
    ui::NoticeDialog notice;
    notice.code = code;
    notice.findings = ui::NoticeFindingsFor(code, exchanged_ ? &exchange_ : nullptr, exchangeAddress_, 0, page_);
    return notice.DoModal(window_.hwnd()) == 1;
}

void InitialFlow::OfferHelp(ui::Notice code, const char* topic) {
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

void InitialFlow::OpenSetupPage(const std::string& address, const net::Link& link) {
    // The launching window has no parent here: it belongs to this thread,
    // while the result window belongs to the window thread.
    SetupPageLauncher(address.c_str(), link, nullptr, window_, [&](const net::PageCheck* unanswered) {
        page_.page = unanswered;
        page_.pageAddress = address;
        page_.pageLink = link;
        OfferHelp(ui::Notice::kOpenFailed, ui::kTopicOpenFailed);
        page_.page = nullptr;  // the check goes with the launch
    });
}

void InitialFlow::ConverterInAnotherSubnet(const std::string& mac, const net::Link& link) {
    {
        IpSetupDialog setup;
        setup.SetConverterMac(mac);
        setup.SetConverterLink(link);
        setup.SetOwnerWindow(&window_);
        setup.DoModal(window_.hwnd());
        if (const net::AssignReport* exchange = setup.LastExchange()) {
            exchanged_ = true;
            exchange_ = *exchange;
            exchangeAddress_ = setup.LastAddress();
        }
    }
    // The dialog wrote it on this thread before it closed; empty when it was
    // cancelled or the converter did not take the address.
    const std::string assigned = window_.AssignedAddress();
    if (!assigned.empty()) {
        OpenSetupPage(assigned, link);
    } else {
        OfferHelp(ui::Notice::kAssignFailed, ui::kTopicAddressChange);
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
    InitialFlow flow(*context);
    // Nothing may unwind out of the thread. Out of memory on the way (a
    // notice's findings go without, on their own) leaves neither a crash nor
    // a program nobody can see.
    try {
        return flow.Run();
    } catch (const std::bad_alloc&) {
        return flow.HandOver();
    }
}

}  // namespace flow
