// The converter list: which replies it shows and in which order, the column
// sort, the rescan behind the Scan button and the setup page opened from it.
#include "tests/win/support.h"

#include <algorithm>

#include "flow/setup_page_launcher.h"

namespace {

using namespace cstest;
using net::fake::Arrives;
using net::fake::Ip;

// Runs the Scan button's flow on this thread, over a progress window of its own.
void Rescan(ui::ResultWindow& window) {
    ui::ProgressWindow progress;
    ASSERT_TRUE(progress.Open(window.hwnd()));
    ui::WorkerContext& context = ui::ResultWindow::RescanContext();
    context = {window.deviceList(), &window, &progress, window.Item(IDC_SETUP_PAGE), window.Item(IDC_SCAN)};
    EXPECT_EQ(ui::ResultWindow::RescanFlow(&context), 0u);
}

// A notification from the list, as a click on a column header or a double-click sends it.
void Notify(ui::ResultWindow& window, UINT code, int column = 0) {
    NMLISTVIEW note{};
    note.hdr = {window.deviceList(), IDC_DEVICE_LIST, code};
    note.iSubItem = column;
    SendMessageW(window.hwnd(), WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&note));
}

void Hear(net::fake::ScriptedPort& port, const std::vector<std::vector<std::uint8_t>>& replies) {
    for (const auto& reply : replies) port.inbound.push_back(Arrives(reply));
}

TEST(DeviceList, TheModelFilterPassesNamesHoldingEitherModelExactly) {
    const std::pair<const char*, int> names[] = {
        {"ZTL-BR720", 1}, {"ZTL-BR710", 1}, {"Office ZTL-BR710 (2F)", 1}, {"ztl-br720", 0},
        {"ZTL-BR730", 0}, {"ZTL-BR72", 0},  {"", 0},
    };
    for (const auto& [name, passes] : names) EXPECT_EQ(ui::ResultWindow::ModelFilter(name), passes) << name;
}

// Rows keep the table's order (unsupported models left out) until a column
// is clicked; addresses sort as numbers, MACs by their bytes, names without
// case, and one direction alternates over all columns, across rescans too.
TEST_F(WinTest, ColumnClicksSortAlternatelyAndMoveTheArrowAcrossRescans) {
    ui::ResultWindow window({});
    Open(window);
    HWND list = window.deviceList();
    const auto order = [&] {  // the first letter of each row's name
        std::string letters;
        for (const std::string& row : Rows(list)) letters += row[0];
        return letters;
    };
    const auto arrows = [&] {  // v descending, ^ ascending, - none
        std::string marks;
        for (int column = 0; column < 3; ++column) {
            HDITEMW item{};
            item.mask = HDI_FORMAT | HDI_IMAGE;
            SendMessageW(ListView_GetHeader(list), HDM_GETITEMW, column, reinterpret_cast<LPARAM>(&item));
            marks += (item.fmt & 0x1800) != 0x1800 ? '-' : item.iImage == 0 ? 'v' : '^';
        }
        return marks;
    };
    const std::string longest = "d" + std::string(58, '-') + "ZTL-BR720";  // 68 bytes, no terminator
    const struct {
        int column;  // -1: a rescan
        const char *order, *arrows;
    } steps[] = {
        {-1, "bCad", "---"},  // the table's order, the other model left out
        {2, "dCba", "--v"},   // MACs, descending
        {1, "dbaC", "-^-"},   // addresses as numbers, ascending
        {0, "dCba", "v--"},   // names without case, descending
        {-1, "bCad", "---"},  // a rescan: the table's order, no arrow
        {2, "abCd", "--^"},   // the direction goes on alternating
    };
    for (const auto& step : steps) {
        if (step.column < 0) {
            Hear(*port, {Converter("b ZTL-BR720", "192.168.0.9", 2), Converter("ZTL-AX3", "192.168.0.8", 9),
                         Converter("C ZTL-BR720", "192.168.0.100", 3),
                         Converter("a ZTL-BR710", "192.168.0.10", 1), Converter(longest, "172.16.5.9", 4)});
            Rescan(window);
        } else {
            Notify(window, LVN_COLUMNCLICK, step.column);
        }
        EXPECT_EQ(order(), step.order) << step.column;
        EXPECT_EQ(arrows(), step.arrows) << step.column;
    }
}

// One window rescanned again and again, as a user does: after the one
// converter the list places every later row by name, descending.
TEST_F(WinTest, EveryRescanOutcomeLeavesTheListButtonsAndNoticeAsSpecified) {
    ui::ResultWindow window({});
    Open(window);
    const std::vector<std::string> notFound = {Notice(4, 124) + " +progress",
                                               Help("topic_rescan_none") + " +progress"};
    const struct {
        const char* name;
        std::function<void(Port&)> script;
        std::vector<std::string> rows, events;
        int count;
    } rescans[] = {
        {"one converter", [](Port& p) { Hear(p, {Converter("ZTL-BR720", "192.168.0.50", 0x50)}); },
         {"ZTL-BR720|192.168.0.50|00:1a:2b:3c:4d:50"}, {}, 1},
        {"two of three supported",
         [](Port& p) {
             Hear(p, {Converter("ZTL-BR710 a", "192.168.0.53", 3), Converter("ZTL-AX3", "192.168.0.52", 2),
                      Converter("ZTL-BR720 b", "192.168.0.51", 1)});
         },
         {"ZTL-BR720 b|192.168.0.51|00:1a:2b:3c:4d:01", "ZTL-BR710 a|192.168.0.53|00:1a:2b:3c:4d:03"}, {}, 2},
        {"65 records", SixtyFiveRecords, {}, {}, 63},
        {"no reply", [](Port&) {}, {}, notFound, 0},
        {"host unreachable", [](Port& p) { p.sendErrors[0] = net::kErrHostUnreachable; }, {}, notFound, 0},
        {"socket failure, answered No",
         [](Port& p) {
             p.openError = 10024;
             Answerer::answer = 2;
         },
         {}, {notFound[0]}, 0},
        {"no scan worker", [](Port& p) { p.threads = Port::Threads::kRefused; }, {}, notFound, 0},
    };
    for (const auto& rescan : rescans) {
        SCOPED_TRACE(rescan.name);
        Reset();
        rescan.script(*port);
        Rescan(window);
        EXPECT_EQ(g_events, rescan.events);
        EXPECT_EQ(ListView_GetItemCount(window.deviceList()), rescan.count);
        if (!rescan.rows.empty()) {
            EXPECT_EQ(Rows(window.deviceList()), rescan.rows);
        }
        // Only the one converter is selected, marked and ready to open.
        const bool one = rescan.count == 1;
        EXPECT_EQ(ListView_GetSelectedCount(window.deviceList()), one ? 1u : 0u);
        EXPECT_EQ(ListView_GetSelectionMark(window.deviceList()), one ? 0 : -1);
        EXPECT_EQ(IsWindowEnabled(window.Item(IDC_SETUP_PAGE)) != FALSE, one);
        EXPECT_TRUE(IsWindowEnabled(window.Item(IDC_SCAN)));
        EXPECT_EQ(Shown<ui::ProgressWindow>(), nullptr);
    }
}

TEST_F(WinTest, TwoScanCommandsBackToBackStartOneFlow) {
    ui::ResultWindow window({});
    Open(window);
    Hear(*port, {Converter("ZTL-BR720", "192.168.0.50", 1)});
    for (int press = 0; press < 2; ++press) SendMessageW(window.hwnd(), WM_COMMAND, IDC_SCAN, 0);
    // Serve the flow's calls until it has given Scan back and closed its progress window.
    for (int i = 0; i < 3000 && (!IsWindowEnabled(window.Item(IDC_SCAN)) || Shown<ui::ProgressWindow>()); ++i) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        for (MSG message; PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&message);
    }
    EXPECT_EQ(port->startups, 1);
    EXPECT_EQ(Rows(window.deviceList()).size(), 1u);
}

TEST_F(WinTest, TheSetupPageOpensFromTheListOnlyForAMarkedConverterInThePcsSubnet) {
    const std::string warning =
        Text(152) + "\n\n" + Text(157) + "192.168.0.2\n" + Text(153) + "255.255.255.0";
    const std::string warningOnLink =
        Text(152) + "\n\n" + Text(157) + "10.0.0.2\n" + Text(153) + "255.0.0.0";
    const std::string opensNear = "shell http://192.168.0.50 +launching";
    const struct {
        const char* name;
        bool doubleClick;
        int mark;
        const char *address, *netmask;  // what the last scan found of the PC
        std::intptr_t shellResult;
        std::vector<std::string> events;
        bool closes;
        net::Link heardOn = {};  // the link both converters were heard on
    } launches[] = {
        {"no row marked", true, -1, "192.168.0.2", "255.255.255.0", 42,
         {Box("win_tests", Fixed("no_selection"))}, false},  // the program's name
        {"in the subnet", false, 0, "192.168.0.2", "255.255.255.0", 42, {opensNear}, true},
        {"outside it", true, 1, "192.168.0.2", "255.255.255.0", 42, {Box(Text(125), warning)}, false},
        {"the shell fails", false, 0, "192.168.0.2", "255.255.255.0", 2,
         {opensNear, Box(Text(125), Text(128)) + " +launching"}, true},
        {"no PC address known", false, 1, "", "", 42, {"shell http://10.0.0.1 +launching"}, true},
        {"heard on a link holding it", false, 1, "192.168.0.2", "255.255.255.0", 42,
         {"shell http://10.0.0.1 +launching"}, true, {true, Ip(10, 0, 0, 2), Ip(255, 0, 0, 0)}},
        {"heard on a link not holding it", true, 0, "192.168.0.2", "255.255.255.0", 42,
         {Box(Text(125), warningOnLink)}, false, {true, Ip(10, 0, 0, 2), Ip(255, 0, 0, 0)}},
    };
    for (const auto& launch : launches) {
        SCOPED_TRACE(launch.name);
        Reset();
        shell.result = launch.shellResult;
        ui::ResultWindow window({nullptr, &flow::LaunchSelected, nullptr});
        Open(window);
        HWND hwnd = window.hwnd(), list = window.deviceList();
        FillTable({Converter("ZTL-BR720 in", "192.168.0.50", 1), Converter("ZTL-BR720 out", "10.0.0.1", 2)});
        window.ListFill(net::g_deviceTable, 2);
        std::fill(std::begin(net::g_recordLinks), std::end(net::g_recordLinks), launch.heardOn);
        std::strcpy(net::g_probeResult.address, launch.address);
        std::strcpy(net::g_probeResult.netmask, launch.netmask);
        ListView_SetSelectionMark(list, launch.mark);
        if (launch.doubleClick) {
            Notify(window, NM_DBLCLK);
        } else {
            SendMessageW(hwnd, WM_COMMAND, IDC_SETUP_PAGE, 0);
        }
        EXPECT_EQ(g_events, launch.events);
        EXPECT_EQ(!IsWindow(hwnd), launch.closes);
        EXPECT_EQ(Shown<ui::LaunchingWindow>(), nullptr);
    }
}

}  // namespace
