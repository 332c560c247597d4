// The address setup dialog: shown when the one converter found lies in
// another subnet than the PC. It suggests a temporary address next to the
// PC's own, gives it to the converter (named by its MAC) on Execute Setup, and
// hands the outcome back through the result window's assignedAddress.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "net/device_table.h"
#include "net/free_address.h"
#include "net/scan_report.h"
#include "win/dialog.h"
#include "win/handles.h"
#include "win/tool_tip.h"

namespace ui {
class ResultWindow;
}

namespace flow {

// The address suggested for the converter, from the PC's address and netmask
// texts, in the address control's form (first octet in the high byte). Only
// the last octet moves: one up, or one down when that is the subnet's
// broadcast address, or two up when it is the subnet's own address. Texts
// that are no address convert as inet_addr does (all ones).
std::uint32_t SuggestedAddress(const char* pcAddress, const char* pcNetmask);

// Why a typed address cannot be given to the converter, naming it, in the
// program's language; empty when nothing stands against it.
std::wstring TypedAddressRefusal(net::AddressUse use, const char* address);

class IpSetupDialog : public win::Dialog {
public:
    IpSetupDialog();
    ~IpSetupDialog() override;

    // Set by the flow before the modal run.
    void SetConverterMac(const std::string& mac);
    std::string ConverterMac() const;
    // The PC's link that heard the converter: the PC address shown, the
    // suggestion and the exchange are that link's.
    void SetConverterLink(const net::Link& link);
    net::Link ConverterLink() const;
    void SetOwnerWindow(ui::ResultWindow* owner);
    ui::ResultWindow* OwnerWindow() const;
    // How the last exchange ended and the address it asked for; nullptr when
    // none ran (Cancel, the caption's close box).
    const net::AssignReport* LastExchange() const { return exchanged_ ? &lastExchange_ : nullptr; }
    const std::string& LastAddress() const { return lastAddress_; }

    // The tool-tip relay: the tips hear of the pointer only through here.
    bool PreTranslateMessage(MSG* message) override;

protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    bool DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override;

private:
    void ExecuteSetup();
    // true when the typed address may go to the converter; otherwise the
    // user has been told why not.
    bool TypedAddressAccepted(const char* address);
    void CancelSetup();
    bool OnSysCommand(WPARAM wParam, LPARAM lParam, LRESULT* result);
    bool OnDestroy(WPARAM wParam, LPARAM lParam, LRESULT* result);

    HWND addressField_ = nullptr;
    std::string converterMac_;
    net::Link converterLink_;
    ui::ResultWindow* ownerWindow_ = nullptr;
    bool exchanged_ = false;
    net::AssignReport lastExchange_;
    std::string lastAddress_;
    win::ToolTip toolTip_;
};

}  // namespace flow
