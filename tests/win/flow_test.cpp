// What the workflow does where the real program cannot be brought to show it:
// the initial flow's rare paths, and the address setup dialog's own rules.
#include "tests/win/support.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

#include "flow/initial_scan_flow.h"
#include "flow/ip_setup_dialog.h"

namespace {

using namespace cstest;
using net::fake::Arrives;

void RecordEnd(int status) { Log("end " + std::to_string(status)); }

TEST_F(WinTest, TheInitialFlowsRarePathsEndAsSpecified) {
    const auto oneConverter = [](Port& p) {
        p.inbound = {Arrives(Converter("ZTL-BR720", "192.168.0.50", 1))};
    };
    const struct {
        const char* name;
        std::function<void(Port&)> script;
        std::intptr_t shellResult;
        std::vector<std::string> events;
        unsigned result;  // 0: the program runs on
        int rows;
    } paths[] = {
        {"the shell cannot open the page", oneConverter, 2,
         {"shell http://192.168.0.50 +launching", Notice(3, 127) + " +launching",
          Help("topic_open_failed") + " +launching", "end 0"},
         1, 1},
        {"the subnet test cannot read the interfaces",
         [&](Port& p) {
             oneConverter(p);
             p.afterScan = [&p] { p.listError = 10055; };
         },
         42, {}, 0, 1},
        {"the scan worker cannot start", [](Port& p) { p.threads = Port::Threads::kRefused; }, 42,
         {Notice(5, 126), Help("topic_not_found"), "end 0"}, 1, 0},
        {"65 records", SixtyFiveRecords, 42, {Notice(6, 150), Help("topic_multiple"), "end 0"}, 1, 63},
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.name);
        Reset();
        path.script(*port);
        shell.result = path.shellResult;
        ui::ResultWindow window({nullptr, nullptr, &RecordEnd});
        ASSERT_TRUE(window.Create(nullptr));
        // As the program's modal run leaves it: visible, 0 x 0 at 0,0.
        ShowWindow(window.hwnd(), SW_SHOWNA);
        EXPECT_EQ(flow::InitialScanFlow(&ui::ResultWindow::InitialContext()), path.result);
        EXPECT_EQ(g_events, path.events);
        EXPECT_EQ(ListView_GetItemCount(window.deviceList()), path.rows);
        EXPECT_EQ(IsWindowEnabled(window.Item(IDC_SCAN)) != FALSE, path.result == 0);
        EXPECT_EQ(Shown<ui::ProgressWindow>(), nullptr);
    }
}

TEST(AddressSetup, TheSuggestionIsTheNextHostInThePcsSubnetMovingOnlyTheLastOctet) {
    const char* const cases[][3] = {
        {"192.168.0.2", "255.255.255.0", "192.168.0.3"},
        {"192.168.0.254", "255.255.255.0", "192.168.0.253"},    // .255 is the broadcast
        {"192.168.0.254", "255.255.254.0", "192.168.0.255"},    // here a host
        {"192.168.0.255", "255.255.254.0", "192.168.0.1"},      // .0 is the subnet's own
        {"192.168.1.255", "255.255.0.0", "192.168.1.0"},        // no carry into the third
        {"10.0.0.6", "255.255.255.248", "10.0.0.5"},
        {"192.168.0.10", "255.255.255.255", "192.168.0.9"},
    };
    for (const auto& c : cases) {
        std::uint8_t b[4];
        net::AddressToBytes(net::InetAddr(c[2]), b);
        EXPECT_EQ(flow::SuggestedAddress(c[0], c[1]), MAKEIPADDRESS(b[0], b[1], b[2], b[3])) << c[0];
    }
}

// The converter was heard on the first of the PC's two links: the PC address
// shown, the suggestion and the exchange are that link's, not the last one's.
TEST_F(WinTest, AddressSetupHoldsTheFirstFieldAndAsksForAWholeAddressBeforeSettingIt) {
    const std::uint32_t office = net::fake::Ip(172, 20, 0, 2);
    port->interfaces.insert(port->interfaces.begin(), {0x13, office, net::fake::Ip(255, 255, 255, 0)});
    ui::ResultWindow owner({});
    flow::IpSetupDialog dialog;
    dialog.SetConverterMac("00:1a:2b:3c:4d:5e");
    dialog.SetConverterLink({true, office, net::fake::Ip(255, 255, 255, 0)});
    dialog.SetOwnerWindow(&owner);
    ASSERT_TRUE(dialog.Create(nullptr));
    EXPECT_EQ(TextOf(dialog.Item(IDC_PC_ADDRESS)), Text(147) + "172.20.0.2");
    DWORD suggested = 0;
    SendMessageW(dialog.Item(IDC_ADDRESS_FIELD), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(suggested, MAKEIPADDRESS(172, 20, 0, 3));
    // Away from the screen's centre, so that centring over it shows.
    SetWindowPos(dialog.hwnd(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    std::vector<std::pair<LONG, HWND>> fields;  // by their left edges
    for (HWND edit = GetWindow(dialog.Item(IDC_ADDRESS_FIELD), GW_CHILD); edit; edit = GetWindow(edit, GW_HWNDNEXT)) {
        RECT rect{};
        GetWindowRect(edit, &rect);
        fields.emplace_back(rect.left, edit);
    }
    std::sort(fields.begin(), fields.end());
    ASSERT_EQ(fields.size(), 4u);
    const std::tuple<int, const wchar_t*, std::string> typed[] = {
        {0, L"0", "1"}, {0, L"224", "223"}, {1, L"0", "0"}};  // field, typed, kept
    for (const auto& [field, text, held] : typed) {
        SetFocus(fields[field].second);
        SetWindowTextW(fields[field].second, text);
        SetFocus(dialog.Item(IDC_CANCEL_SETUP));
        EXPECT_EQ(TextOf(fields[field].second), held) << field;
    }

    SetWindowTextW(fields[3].second, L"");
    SendMessageW(dialog.hwnd(), WM_COMMAND, IDC_EXECUTE_SETUP, 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{Notice(7, 151), Help("topic_ip_setup")}));
    EXPECT_TRUE(IsWindowVisible(dialog.hwnd()));
    EXPECT_TRUE(port->sent.empty());

    g_events.clear();
    port->inbound = {Arrives(net::fake::AssignReply(1))};
    port->onSend = [&] {
        HWND status = Shown<ui::SettingAddressWindow>();
        RECT own{}, over{};
        GetWindowRect(status, &own);
        GetWindowRect(dialog.hwnd(), &over);
        const bool centred = std::abs(own.left + own.right - over.left - over.right) <= 1 &&
                             std::abs(own.top + own.bottom - over.top - over.bottom) <= 1;
        Log(TextOf(GetDlgItem(status, IDC_STATUS_TEXT)) + " " + std::to_string(own.right - own.left) + "x" +
            std::to_string(own.bottom - own.top) + (centred ? " centred" : "") +
            (GetUpdateRect(GetDlgItem(status, IDC_STATUS_TEXT), nullptr, FALSE) ? "" : " painted"));
    };
    SendMessageW(dialog.Item(IDC_ADDRESS_FIELD), IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 0, 77));
    SendMessageW(dialog.hwnd(), WM_COMMAND, IDC_EXECUTE_SETUP, 0);
    EXPECT_EQ(g_events, std::vector<std::string>(3, Text(149) + " 260x80 centred painted"));
    EXPECT_EQ(owner.AssignedAddress(), "192.168.0.77");
    for (const auto& sent : port->sent) EXPECT_EQ(sent.from, office);
    EXPECT_FALSE(IsWindowVisible(dialog.hwnd()));
    EXPECT_EQ(Shown<ui::SettingAddressWindow>(), nullptr);
}

}  // namespace
