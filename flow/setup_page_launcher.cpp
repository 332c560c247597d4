#include "flow/setup_page_launcher.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "net/address_text.h"
#include "flow/network_wait.h"
#include "net/device_table.h"
#include "res/resource.h"
#include "ui/status_windows.h"
#include "win/language.h"
#include "win/shell.h"

namespace flow {
namespace {

constexpr char kUrlPrefix[] = "http://";
constexpr wchar_t kNoSelection[] = L"Please select the Access Point from the Access Point List.";

struct PcSide {
    char address[net::kAddressTextSize] = {};
    char netmask[net::kAddressTextSize] = {};
};

// The PC's link that heard the converter in that row.
net::Link LinkOfRow(HWND list, int row) {
    LVITEMA item{};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return net::LinkOf(reinterpret_cast<const net::DeviceRecord*>(item.lParam));
}

PcSide PcSideOf(const net::Link& link) {
    PcSide pc;
    if (link.known) {
        net::FormatInAddr(link.address, pc.address);
        net::FormatInAddr(link.netmask, pc.netmask);
    } else {
        std::memcpy(pc.address, net::g_probeResult.address, sizeof pc.address);
        std::memcpy(pc.netmask, net::g_probeResult.netmask, sizeof pc.netmask);
    }
    return pc;
}

}  // namespace

std::string SetupPageAddress(const char* address) {
    return std::string(kUrlPrefix) + (address ? address : "");
}

void SetupPageLauncher(const char* address, const net::Link& link, HWND parent,
                       ui::ResultWindow& resultWindow, const FailureReport& failureReport) {
    auto launching = std::make_unique<ui::LaunchingWindow>();
    launching->kind = resultWindow.mode();
    ui::ShowStatusWindow(*launching, parent, resultWindow.hwnd());
    // The parent (the result window of a launch from the list) takes no
    // input while the page is waited for: no Scan, Close or second launch.
    const bool disabledHere = parent && !EnableWindow(parent, FALSE);
    const NetworkWait wait = ActiveNetworkWait();
    const net::PageCheck check = net::CheckPage(wait.port, net::InetAddr(address), link, wait.idle);
    // A browser opened before the page answers shows its own error page.
    const bool opened =
        check.answered && win::ShellOpen(resultWindow.hwnd(), win::FromUtf8(SetupPageAddress(address)));
    // The report is seen while the launching notice still shows.
    if (!opened && failureReport) failureReport(check.answered ? nullptr : &check);
    // Back before the owned window goes, so that activation returns to it.
    if (disabledHere) EnableWindow(parent, TRUE);
    launching->DestroyWindow();
    launching.reset();
}

bool InPcSubnet(const char* pcAddress, const char* pcNetmask, const char* converter) {
    if (!pcAddress || !pcNetmask || !*pcAddress || !*pcNetmask) return true;
    const std::uint32_t pc = net::InetAddr(pcAddress);
    const std::uint32_t mask = net::InetAddr(pcNetmask);
    const std::uint32_t target = net::InetAddr(converter);
    return (pc & mask) == (target & mask);
}

std::wstring SubnetWarningText(const char* pcAddress, const char* pcNetmask) {
    // No separator between a label and its value.
    return win::LoadText(IDS_SUBNET_WARNING) + L"\n\n" + win::LoadText(IDS_SUBNET_ADDRESS_LABEL) +
           win::FromUtf8(pcAddress ? pcAddress : "") + L"\n" + win::LoadText(IDS_SUBNET_LABEL) +
           win::FromUtf8(pcNetmask ? pcNetmask : "");
}

std::wstring ApplicationName() {
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring name(path, length < MAX_PATH ? length : MAX_PATH);
    const std::size_t slash = name.find_last_of(L"\\/:");
    if (slash != std::wstring::npos) name.erase(0, slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0) name.erase(dot);
    return name;
}

void LaunchSelected(ui::ResultWindow& window) {
    HWND list = window.deviceList();
    // The mark, not the rows' selection state, names the converter.
    const LRESULT mark = SendMessageW(list, LVM_GETSELECTIONMARK, 0, 0);
    if (mark < 0) {
        const std::wstring caption = ApplicationName();
        MessageBoxW(window.hwnd(), kNoSelection, caption.c_str(), MB_OK);
        return;
    }
    char address[64] = {};
    LVITEMA item{};
    item.iSubItem = 1;
    item.pszText = address;
    item.cchTextMax = static_cast<int>(sizeof address);
    SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(mark), reinterpret_cast<LPARAM>(&item));
    // The PC's side of the comparison: the link that heard this converter,
    // or, where the scan had none, the PC's own interface as the scan found it.
    const net::Link link = LinkOfRow(list, static_cast<int>(mark));
    const PcSide pc = PcSideOf(link);
    if (InPcSubnet(pc.address, pc.netmask, address)) {
        // The window closes whether the page opened or not.
        SetupPageLauncher(address, link, window.hwnd(), window, [&window](const net::PageCheck*) {
            MessageBoxW(window.hwnd(), win::LoadText(IDS_OPEN_FAILED_FROM_LIST).c_str(),
                        win::LoadText(IDS_ERROR).c_str(), MB_ICONINFORMATION);
        });
        window.CloseResultWindow();
        return;
    }
    // Nothing launched; the window stays usable.
    MessageBoxW(window.hwnd(), SubnetWarningText(pc.address, pc.netmask).c_str(),
                win::LoadText(IDS_ERROR).c_str(), MB_ICONINFORMATION);
}

}  // namespace flow
