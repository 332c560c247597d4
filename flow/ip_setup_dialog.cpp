#include "flow/ip_setup_dialog.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>

#include "net/address_text.h"
#include "net/device_table.h"
#include "net/discovery_client.h"
#include "net/free_address.h"
#include "res/resource.h"
#include "ui/help_launcher.h"
#include "ui/notice_dialog.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"
#include "win/language.h"

namespace flow {
namespace {

constexpr BYTE kFirstFieldLow = 1;
constexpr BYTE kFirstFieldHigh = 223;

// The control leaves a field blank when it is given a value outside the
// field's range. Without a usable interface the suggestion comes from empty
// texts and starts with 255; the dialog must still open with a whole address,
// so the first octet is held to the range, as the control holds a typed one.
std::uint32_t HoldFirstField(std::uint32_t address) {
    BYTE first = static_cast<BYTE>(FIRST_IPADDRESS(address));
    if (first < kFirstFieldLow) first = kFirstFieldLow;
    if (first > kFirstFieldHigh) first = kFirstFieldHigh;
    return (address & 0x00FFFFFFu) | (static_cast<std::uint32_t>(first) << 24);
}

}  // namespace

std::uint32_t SuggestedAddress(const char* pcAddress, const char* pcNetmask) {
    // The control's form is the host order.
    return net::HostOrder(net::SuggestedAddress(net::InetAddr(pcAddress), net::InetAddr(pcNetmask)));
}

// Enter without a default button (1), Esc and a plain close request (2) must
// not end the dialog: it ends only through Execute Setup, Cancel or the
// caption's close button.
IpSetupDialog::IpSetupDialog() : win::Dialog(IDD_IP_SETUP, kIgnoresEnterAndEsc) {}

IpSetupDialog::~IpSetupDialog() {
    // While the members still exist for the window's last messages.
    if (hwnd() && GetWindowThreadProcessId(hwnd(), nullptr) == GetCurrentThreadId()) {
        DestroyWindow();
    }
}

void IpSetupDialog::SetConverterMac(const std::string& mac) { converterMac_ = mac; }

std::string IpSetupDialog::ConverterMac() const { return converterMac_; }

void IpSetupDialog::SetConverterLink(const net::Link& link) { converterLink_ = link; }

net::Link IpSetupDialog::ConverterLink() const { return converterLink_; }

void IpSetupDialog::SetOwnerWindow(ui::ResultWindow* owner) { ownerWindow_ = owner; }

ui::ResultWindow* IpSetupDialog::OwnerWindow() const { return ownerWindow_; }

void IpSetupDialog::DoDataExchange() { Bind(IDC_ADDRESS_FIELD, addressField_); }

BOOL IpSetupDialog::OnInitDialog() {
    // Control 1016 bound to the address field.
    win::Dialog::OnInitDialog();
    SetTitle(win::LoadText(IDS_IP_SETUP_TITLE));
    // Longer tips wrap
    toolTip_.Create(hwnd());
    SetItemText(IDC_EXECUTE_SETUP, win::LoadText(IDS_EXECUTE_SETUP));
    toolTip_.Add(Item(IDC_EXECUTE_SETUP), IDS_TIP_EXECUTE_SETUP);
    SetItemText(IDC_CANCEL_SETUP, win::LoadText(IDS_CANCEL_SETUP));
    toolTip_.Add(Item(IDC_CANCEL_SETUP), IDS_TIP_CANCEL_SETUP);
    SetItemText(IDC_ADDRESS_LABEL, win::LoadText(IDS_CONVERTER_ADDRESS_LABEL));
    SetItemText(IDC_EXPLANATION, win::LoadText(IDS_IP_SETUP_EXPLANATION));
    // A converter needs a unicast address of classes A to C; the other
    // three fields keep 0 to 255
    SendMessageW(addressField_, IPM_SETRANGE, 0, MAKEIPRANGE(kFirstFieldLow, kFirstFieldHigh));
    // The PC's own address and netmask on the converter's link; the test's
    // result does not matter, the texts stay empty when no interface could
    // be read
    char pcAddress[net::kAddressTextSize] = "";
    char pcNetmask[net::kAddressTextSize] = "";
    net::DiscoveryClient().SubnetTest(pcAddress, pcNetmask, nullptr, ConverterLink());
    SetItemText(IDC_PC_ADDRESS, win::LoadText(IDS_PC_ADDRESS_LABEL) + win::FromUtf8(pcAddress));
    SendMessageW(addressField_, IPM_SETADDRESS, 0,
                 static_cast<LPARAM>(HoldFirstField(SuggestedAddress(pcAddress, pcNetmask))));
    // The dialog manager focuses the first tab stop, Execute Setup
    return TRUE;
}

bool IpSetupDialog::DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) {
    static const win::MessageEntry<IpSetupDialog> kTable[] = {
        win::OnCommandFrom(IDC_EXECUTE_SETUP, &IpSetupDialog::ExecuteSetup),
        win::OnMessage(WM_SYSCOMMAND, &IpSetupDialog::OnSysCommand),
        win::OnCommandFrom(IDC_CANCEL_SETUP, &IpSetupDialog::CancelSetup),
        win::OnMessage(WM_DESTROY, &IpSetupDialog::OnDestroy),
    };
    return Dispatch(this, kTable, message, wParam, lParam, result);
}

bool IpSetupDialog::PreTranslateMessage(MSG* message) {
    toolTip_.Relay(message);
    return win::Dialog::PreTranslateMessage(message);
}

void IpSetupDialog::ExecuteSetup() {
    DWORD fields = 0;
    const LRESULT filled =
        SendMessageW(addressField_, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&fields));
    if (filled < 4) {
        // The dialog stays open so that the user can complete the address. It
        // owns the notice and takes no input meanwhile: no second exchange can
        // start behind it.
        ui::NoticeDialog notice;
        notice.code = ui::Notice::kIncompleteAddress;
        if (notice.DoModal(hwnd()) == 1) ui::HelpLauncher().OpenTopic(ui::kTopicIpSetup);
        return;
    }
    char address[net::kAddressTextSize] = "";
    std::snprintf(address, sizeof address, "%d.%d.%d.%d", static_cast<int>(FIRST_IPADDRESS(fields)),
                  static_cast<int>(SECOND_IPADDRESS(fields)),
                  static_cast<int>(THIRD_IPADDRESS(fields)),
                  static_cast<int>(FOURTH_IPADDRESS(fields)));
    std::string newAddress = address;

    // This thread does not serve its windows during the exchange: the status
    // window shows its text only because it is painted before the call.
    auto settingAddress = std::make_unique<ui::SettingAddressWindow>();
    ui::ShowStatusWindow(*settingAddress, hwnd(), hwnd());

    const std::string mac = ConverterMac();
    exchanged_ = true;
    lastAddress_ = newAddress;
    if (net::DiscoveryClient().AssignExchange(newAddress.c_str(), mac.c_str(), ConverterLink(),
                                              &lastExchange_) != 1) {
        newAddress.clear();
    }
    if (ui::ResultWindow* owner = OwnerWindow()) owner->SetAssignedAddress(newAddress);

    settingAddress->DestroyWindow();
    settingAddress.reset();
    OnCancel();
}

void IpSetupDialog::CancelSetup() { OnCancel(); }

bool IpSetupDialog::OnSysCommand(WPARAM wParam, LPARAM, LRESULT*) {
    switch (wParam & 0xFFF0) {
        case SC_CONTEXTHELP:
            // Straight to the page; the pointer never enters help mode.
            ui::HelpLauncher().OpenTopic(ui::kTopicIpSetup);
            return true;
        case SC_CLOSE:
            OnCancel();
            return true;
        default:
            return false;
    }
}

bool IpSetupDialog::OnDestroy(WPARAM, LPARAM, LRESULT*) {
    toolTip_.Destroy();
    return false;
}

}  // namespace flow
