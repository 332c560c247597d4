// What the flows do where the real program cannot be brought to show it: the
// initial flow's rare paths, the rescan behind the Scan button with the list
// it fills and its column sort, the setup page opened from the list, and the
// address setup dialog's own rules.
#include "tests/win/support.h"

#include <algorithm>

#include "app/converter_setup_app.h"
#include "flow/initial_scan_flow.h"
#include "flow/ip_setup_dialog.h"
#include "flow/rescan_flow.h"
#include "flow/setup_page_launcher.h"
#include "win/system_library.h"

namespace {

using namespace cstest;
using net::fake::Arrives;
using net::fake::DiscoveryReply;
using net::fake::Ip;

void RecordEnd(int status) { Log("end " + std::to_string(status)); }

// Where the program runs on, the window is the user's: it shows at its
// designed size, centred in the work area; elsewhere it stays as the modal
// run leaves it, visible with no size at 0,0.
// A scan that finds nothing while an address may be on its way waits for it
// once, saying so, up to 15 s from the scan's end, reading the adapters every
// 500 ms (the notice reads them too); a new usable one and the scan runs again.
// Scan Again on notice 5 starts over, and so does Allow in Firewall once the
// rules are there. The rows' scans log the clock at their end.
TEST_F(WinTest, TheInitialFlowsRarePathsEndAsSpecified) {
    const auto oneConverter = [](Port& p) { p.inbound = {Arrives(DiscoveryReply("ZTL-BR720", Ip(192, 168, 0, 50), 1))}; };
    const findings::AdapterEntry none = Wired({}), usable = Wired({{Ip(192, 168, 0, 2), 24}}), down = Wired({}, 2),
                                 tentative = Wired({{Ip(192, 168, 0, 2), 24, false}});
    // Windows' adapters as the clock goes; the scan (1, 2; 0: none) the converter answers.
    const auto waits = [this](Adapters::Steps steps, int answers, bool unreachable = false) {
        return [this, steps, answers, unreachable](Port& p) {
            adapters.steps = steps;
            if (unreachable) p.interfaces.clear(), p.sendErrors = {{0, 10065}};  // no link
            const auto reply = Arrives(DiscoveryReply("ZTL-BR720", Ip(192, 168, 0, 50), 1));
            if (answers) (answers == 1 ? p.inbound : p.nextInbound).assign(1, reply);
            p.afterThread = [&p] { Log("scan by " + std::to_string(p.nowMs)); };
        };
    };
    const std::string page = "shell http://192.168.0.50 +launching", scanning = Text(IDS_SCANNING);
    const std::string waited = scanning + "|" + Text(IDS_WAITING_FOR_ADDRESS);
    const struct {
        const char* name;
        std::function<void(Port&)> script;
        BOOL opens;
        std::vector<std::string> events;
        unsigned result;  // 0: the program runs on
        int rows;
        bool threadRefused = false;  // else the flow runs on this thread
        bool outOfMemory = false;    // reading the adapters and opening the help
        int reads = -1;              // of the adapters (-1: not counted)...
        std::string progressTexts = "";  // ...and the progress window's texts at those
        int answer = 1;              // every notice's
    } paths[] = {
        {"the shell cannot open the page", oneConverter, FALSE,
         {"shell http://192.168.0.50 +launching", Notice(3, 127) + " +launching",
          Help("topic_open_failed") + " +launching", "end 0"},
         1, 1},
        {"the subnet test cannot read the interfaces",
         [&](Port& p) { oneConverter(p); p.afterThread = [&p] { p.listError = 10055; }; }, TRUE, {}, 0, 1},
        {"65 records over a table of 64",
         [](Port& p) {
             p.afterThread = [] {
                 FillTable(std::vector<std::vector<std::uint8_t>>(64, DiscoveryReply("ZTL-BR720", Ip(10, 0, 0, 5), 1)));
                 net::g_scanState.count = net::kDeviceTableCapacity + 1;
             };
         },
         TRUE, {Notice(6, 150), Help("topic_multiple"), "end 0"}, 1, 63},
        {"the flow thread cannot start", [](Port&) {}, TRUE, {}, 0, 0, true},
        {"out of memory: the notice without its findings, then the window is the user's", [](Port&) {}, TRUE,
         {Notice(5, 126), Help("topic_not_found")}, 0, 0, false, true},
        {"an address 6 s after the scan's end", waits({{0, {none}}, {9000, {usable}}}, 2), TRUE,
         {"scan by 3000 +progress", "scan by 12000 +progress", page, "end 0"}, 1, 1, false, false, 13, waited},
        {"tentative at 2 s, usable at 4 s", waits({{0, {none}}, {5000, {tentative}}, {7000, {usable}}}, 2), TRUE,
         {"scan by 3000 +progress", "scan by 10000 +progress", page, "end 0"}, 1, 1, false, false, 9, waited},
        {"nothing within 15 s", waits({{0, {none}}}, 0), TRUE,
         {"scan by 3000 +progress", Notice(5, 126), Help("topic_not_found"), "end 0"}, 1, 0, false, false, 32,
         waited + "|-"},
        {"the second scan finds nothing either", waits({{0, {none}}, {4000, {usable}}}, 0), TRUE,
         {"scan by 3000 +progress", "scan by 7000 +progress", Notice(5, 126), Help("topic_not_found"), "end 0"},
         1, 0, false, false, 4, waited + "|-"},
        {"a found converter reads no adapters", waits({{0, {none}}}, 1), TRUE,
         {"scan by 3000 +progress", page, "end 0"}, 1, 1, false, false, 0},
        {"no link: host unreachable waits, then its message box", waits({{0, {down}}}, 0, true), TRUE,
         {"scan by 0 +progress", Box(Text(125), Text(158)), Help("topic_not_found"), "end 0"}, 1, 0, false, false,
         31, waited},
        {"Scan Again on notice 5, no address awaited: the start over", waits({{0, {usable}}}, 2), TRUE,
         {"scan by 3000 +progress", Notice(5, 126), "scan by 6000 +progress", page, "end 0"}, 1, 1, false, false,
         2, scanning + "|-", 3},
        {"Allow in Firewall on notice 5 with the firewall's finding: the rules added, the start over",
         [&](Port& p) { waits({{0, {usable}}}, 2)(p); adapters.firewall = kBlocking; shell.process = EndedCopy(S_OK); },
         TRUE, {"scan by 3000 +progress", "shield 1032: 1", Notice(5, 126), "runas " + win::ToUtf8(win::ProgramFilePath()) +
                " /cs-allow-firewall mask 1344 owner notice", "scan by 6000 +progress", page, "end 0"},
         1, 1, false, false, 2, scanning + "|-", 4},
    };
    for (const auto& path : paths) {
        SCOPED_TRACE(path.name);
        Reset();
        path.script(*port);
        Answerer::answer = path.answer;
        shell.result = path.opens;
        shell.outOfMemory = path.outOfMemory;
        findings::SetFactsSource(path.outOfMemory ? static_cast<findings::FactsSource*>(&g_noMemoryFacts) : &adapters);
        ui::ResultWindow window({path.threadRefused ? &flow::InitialScanFlow : nullptr, nullptr, nullptr,
                                 &RecordEnd, [](win::WorkerProc, void*) { return false; }});
        ASSERT_TRUE(window.Create(nullptr));
        if (!path.threadRefused) {
            ShowWindow(window.hwnd(), SW_SHOWNA);
            EXPECT_EQ(flow::InitialScanFlow(&ui::ResultWindow::InitialContext()), path.result);
        }
        EXPECT_EQ(g_events, path.events);
        EXPECT_EQ(ListView_GetItemCount(window.deviceList()), path.rows);
        EXPECT_EQ(IsWindowEnabled(window.Item(IDC_SCAN)) != FALSE, path.result == 0);
        EXPECT_EQ(Shown<ui::ProgressWindow>(), nullptr);
        EXPECT_EQ(Geometry(window.hwnd(), win::WorkArea(window.hwnd())), path.result ? "0x0" : "599x364 centred");
        EXPECT_EQ(path.reads < 0 ? "" : std::to_string(adapters.reads) + " " + adapters.progressTexts,
                  path.reads < 0 ? "" : std::to_string(path.reads) + " " + path.progressTexts);
    }
}

// The PC address shown, the suggestion and the exchange's link come from the
// end-to-end rows (the laptop with two links among them).
TEST_F(WinTest, AddressSetupHoldsTheFirstFieldAndAsksForAWholeAddressBeforeSettingIt) {
    ui::ResultWindow owner({});
    flow::IpSetupDialog dialog;
    dialog.SetOwnerWindow(&owner);
    ASSERT_TRUE(dialog.Create(nullptr));
    // Away from the screen's centre, so that centring over it shows.
    SetWindowPos(dialog.hwnd(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_SHOWWINDOW);
    HWND address = dialog.Item(IDC_ADDRESS_FIELD);
    const auto type = [&](int field, const wchar_t* text) {  // what the field keeps once left
        SendMessageW(address, IPM_SETFOCUS, field, 0);
        HWND edit = GetFocus();
        SetWindowTextW(edit, text);
        SetFocus(dialog.Item(IDC_CANCEL_SETUP));
        return TextOf(edit);
    };
    EXPECT_EQ(type(0, L"0") + type(0, L"224") + type(1, L"0"), "1" "223" "0");

    type(3, L"");
    SendMessageW(dialog.hwnd(), WM_COMMAND, IDC_EXECUTE_SETUP, 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{Notice(7, 151), Help("topic_ip_setup")}));
    EXPECT_TRUE(IsWindowVisible(dialog.hwnd()));
    EXPECT_TRUE(port->sent.empty());

    g_events.clear();
    port->inbound = {Arrives(net::fake::AssignReply(1))};
    port->beforeSend = [&] {
        HWND status = Shown<ui::SettingAddressWindow>();
        RECT over{};
        GetWindowRect(dialog.hwnd(), &over);
        Log(TextOf(GetDlgItem(status, IDC_STATUS_TEXT)) + " " + Geometry(status, over) +
            (GetUpdateRect(GetDlgItem(status, IDC_STATUS_TEXT), nullptr, FALSE) ? "" : " painted"));
    };
    SendMessageW(dialog.Item(IDC_ADDRESS_FIELD), IPM_SETADDRESS, 0, MAKEIPADDRESS(192, 168, 0, 77));
    SendMessageW(dialog.hwnd(), WM_COMMAND, IDC_EXECUTE_SETUP, 0);
    EXPECT_EQ(g_events, std::vector<std::string>(3, Text(149) + " 260x80 centred painted"));
    EXPECT_EQ(owner.AssignedAddress(), "192.168.0.77");
    EXPECT_FALSE(IsWindowVisible(dialog.hwnd()));
    EXPECT_EQ(Shown<ui::SettingAddressWindow>(), nullptr);
}

// Before the dialog shows, the link is asked for a free address; a typed one held or reserved is
// refused at Execute Setup in a box naming it, the dialog staying with its fields as typed.
TEST_F(WinTest, AddressSetupSuggestsAFreeAddressAndRefusesATypedOneHeldOrReserved) {
    const struct {
        const char *pc, *netmask, *held, *suggested, *typed;  // held: the address a device answers for
        UINT refusal;
        LANGID language = win::kEnglish;
    } rows[] = {
        {"192.168.0.2", "255.255.255.0", "192.168.0.3", "192.168.0.4", "192.168.0.3", IDS_ADDRESS_IN_USE},
        {"192.168.0.130", "255.255.255.128", "", "192.168.0.131", "192.168.0.255", IDS_ADDRESS_IS_BROADCAST},
        {"10.8.0.2", "255.255.255.252", "", "10.8.0.1", "10.8.0.0", IDS_ADDRESS_IS_NETWORK},
        {"10.8.0.2", "255.255.255.252", "10.8.0.1", "10.8.0.1", "10.8.0.2", IDS_ADDRESS_IS_PC, win::kJapanese},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.typed);
        Reset(), win::SetLanguage(r.language);
        neighbours->entries = {{net::InetAddr(r.held), net::kNeighbourReachable, {0, 0x1a, 0, 0, 0, 9}}};
        ui::ResultWindow owner({});
        flow::IpSetupDialog dialog;
        dialog.SetOwnerWindow(&owner);
        dialog.SetConverterLink({true, net::InetAddr(r.pc), net::InetAddr(r.netmask)});
        ASSERT_TRUE(dialog.Create(nullptr) && !ShowWindow(dialog.hwnd(), SW_SHOWNA));  // asked before it shows
        DWORD shown = 0, kept = 0;
        SendMessageW(dialog.Item(IDC_ADDRESS_FIELD), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&shown));
        EXPECT_EQ(net::fake::Dotted(net::NetworkOrder(shown)), r.suggested);
        SendMessageW(dialog.Item(IDC_ADDRESS_FIELD), IPM_SETADDRESS, 0, net::HostOrder(net::InetAddr(r.typed)));
        SendMessageW(dialog.hwnd(), WM_COMMAND, IDC_EXECUTE_SETUP, 0);
        EXPECT_EQ(g_events, std::vector<std::string>{Box(Text(IDS_ERROR, r.language), Text(r.refusal, r.language).replace(0, 2, r.typed))});
        SendMessageW(dialog.Item(IDC_ADDRESS_FIELD), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&kept));
        EXPECT_EQ(net::fake::Dotted(net::NetworkOrder(kept)), r.typed);
        EXPECT_TRUE(IsWindowEnabled(dialog.hwnd()) && owner.AssignedAddress().empty());
        EXPECT_TRUE(std::all_of(port->sent.begin(), port->sent.end(), [](auto& d) { return d.bytes.size() == 1; }));
    }
    win::SetLanguage(win::kEnglish);
}

// The Scan button's flow runs on this thread, inside the command.
bool RunHere(win::WorkerProc procedure, void* context) { return procedure(context) == 0; }
const ui::ResultWindowEntryPoints kScanHere{nullptr, &flow::RescanFlow, &flow::LaunchSelected, nullptr, &RunHere};
void Scan(ui::ResultWindow& window) { SendMessageW(window.hwnd(), WM_COMMAND, IDC_SCAN, 0); }

// A notification from the list, as a click on a column header or a double-click sends it.
void Notify(ui::ResultWindow& window, UINT code, int column = 0) {
    NMLISTVIEW note{};
    note.hdr = {window.deviceList(), IDC_DEVICE_LIST, code};
    note.iSubItem = column;
    SendMessageW(window.hwnd(), WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&note));
}

// One window as a user uses it, rescans and column clicks in turn. Rows keep
// the table's order (unsupported models left out) until a column is clicked:
// addresses sort as numbers, MACs by their bytes, names without case, one
// direction alternating over all columns and rescans; a rescan removes the
// arrow. After one converter found (alone selected, marked and ready to
// open), the list places every later row by name, descending.
TEST_F(WinTest, RescansAndColumnClicksLeaveTheListButtonsAndNoticesAsSpecified) {
    ui::ResultWindow window(kScanHere);
    Open(window);
    HWND list = window.deviceList();
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
    const std::vector<std::vector<std::uint8_t>> five = {
        DiscoveryReply("b ZTL-BR720", Ip(192, 168, 0, 9), 2), DiscoveryReply("ZTL-AX3", Ip(192, 168, 0, 8), 9),
        DiscoveryReply("C ZTL-BR720", Ip(192, 168, 0, 100), 3), DiscoveryReply("a ZTL-BR710", Ip(192, 168, 0, 10), 1),
        DiscoveryReply(longest, Ip(172, 16, 5, 9), 4)};
    const std::vector<std::string> notFound = {Notice(4, 124) + " +progress",
                                               Help("topic_rescan_none") + " +progress"};
    const struct {
        int column;  // -1: a rescan that hears `replies`
        std::vector<std::vector<std::uint8_t>> replies;
        const char *order, *arrows;  // the first letter of each row's name
        std::vector<std::string> events = {};
        int openError = 0, answer = 1;  // every socket's; the notice's
        bool outOfMemory = false;       // reading the adapters and opening the help
        bool waits = false;             // for an address, before the replies come
    } steps[] = {
        {-1, five, "bCad", "---"},  // the table's order, the other model left out
        {2, {}, "dCba", "--v"},     // MACs, descending
        {1, {}, "dbaC", "-^-"},     // addresses as numbers, ascending
        {0, {}, "dCba", "v--"},     // names without case, descending
        {-1, five, "bCad", "---"},  // a rescan: the table's order, no arrow
        {2, {}, "abCd", "--^"},     // the direction goes on alternating
        {-1, {DiscoveryReply("ZTL-BR720", Ip(192, 168, 0, 50), 0x50)}, "Z", "---"},
        {-1, five, "dCba", "---"},  // by name, descending, from now on
        {-1, {}, "", "---", notFound},
        {-1, {}, "", "---", {notFound[0]}, 10024, 2},  // a socket failure, answered No
        {-1, {}, "", "---", notFound, 0, 1, true},     // out of memory: the notice without findings
        // Scan Again: the converter answers the rescan after the notice.
        {-1, {DiscoveryReply("ZTL-BR720", Ip(192, 168, 0, 50), 0x50)}, "Z", "---", {notFound[0]}, 0, 3},
        // An address 1.5 s after the scan's end; the converter answers the scan then.
        {-1, {DiscoveryReply("ZTL-BR720", Ip(192, 168, 0, 50), 0x50)}, "Z", "---", {}, 0, 1, false, true},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.order);
        Reset();
        if (step.column < 0) {
            if (step.waits) adapters.steps = {{0, {Wired({})}}, {4500, {Wired({{Ip(192, 168, 0, 2), 24}})}}};
            for (const auto& reply : step.replies) {  // scanned again, the second scan hears them
                (step.answer == 3 || step.waits ? port->nextInbound : port->inbound).push_back(Arrives(reply));
            }
            port->openError = step.openError;
            Answerer::answer = step.answer;
            shell.outOfMemory = step.outOfMemory;
            findings::SetFactsSource(step.outOfMemory ? static_cast<findings::FactsSource*>(&g_noMemoryFacts) : &adapters);
            Scan(window);
        } else {
            Notify(window, LVN_COLUMNCLICK, step.column);
        }
        std::string order;
        for (const std::string& row : Rows(list)) order += row[0];
        EXPECT_EQ(order, step.order);
        EXPECT_EQ(arrows(), step.arrows);
        EXPECT_EQ(g_events, step.events);
        const bool one = order.size() == 1;
        EXPECT_EQ(ListView_GetSelectedCount(list), one ? 1u : 0u);
        EXPECT_EQ(ListView_GetSelectionMark(list), one ? 0 : -1);
        EXPECT_EQ(IsWindowEnabled(window.Item(IDC_SETUP_PAGE)) != FALSE, one);
        EXPECT_TRUE(IsWindowEnabled(window.Item(IDC_SCAN)));
        EXPECT_EQ(Shown<ui::ProgressWindow>(), nullptr);
    }
}

int g_rescansStarted = 0;

// The program's own entry points, but for the initial flow.
TEST_F(WinTest, TwoScanCommandsBackToBackStartOneRescanFlow) {
    ui::ResultWindowEntryPoints entryPoints = app::ProgramEntryPoints();
    entryPoints.initialScanFlow = nullptr;
    entryPoints.startFlowThread = [](win::WorkerProc procedure, void*) {
        g_rescansStarted += procedure == &flow::RescanFlow;
        return true;  // and the flow runs on forever
    };
    ui::ResultWindow window(entryPoints);
    Open(window);
    for (int press = 0; press < 2; ++press) Scan(window);
    EXPECT_EQ(g_rescansStarted, 1);
}

TEST_F(WinTest, TheSetupPageOpensFromTheListOnlyForAMarkedConverterInThePcsSubnet) {
    const std::string opensNear = "shell http://192.168.0.50 +launching";
    const struct {
        const char* name;
        bool doubleClick;
        int mark;
        std::vector<std::string> events;
        bool closes;
        BOOL opens = TRUE;
        net::Link heardOn = {};  // the link both converters were heard on
        // What the last scan found of the PC.
        const char *address = "192.168.0.2", *netmask = "255.255.255.0";
        std::vector<net::fake::Connect> page = {net::fake::Accepts(2)};  // the page check's attempts
    } launches[] = {
        {"no row marked", true, -1, {Box("win_tests", Fixed("no_selection"))}, false},  // the program's name
        {"in the subnet", false, 0, {opensNear}, true},
        {"outside it", true, 1,
         {Box(Text(125), Text(152) + "\n\n" + Text(157) + "192.168.0.2\n" + Text(153) + "255.255.255.0")},
         false},
        {"the shell fails", false, 0, {opensNear, Box(Text(125), Text(128)) + " +launching"}, true, FALSE},
        {"no PC address known", false, 1, {"shell http://10.0.0.1 +launching"}, true, TRUE, {}, "", ""},
        {"heard on a link holding it", false, 1, {"shell http://10.0.0.1 +launching"}, true, TRUE,
         {true, Ip(10, 0, 0, 2), Ip(255, 0, 0, 0)}},
        {"a /16 link holds a far address", false, 1, {"shell http://10.0.0.1 +launching"}, true, TRUE,
         {true, Ip(10, 0, 250, 2), Ip(255, 255, 0, 0)}},
        {"a /30 link ends at its fourth address", false, 1,
         {Box(Text(125), Text(152) + "\n\n" + Text(157) + "10.0.0.5\n" + Text(153) + "255.255.255.252")},
         false, TRUE, {true, Ip(10, 0, 0, 5), Ip(255, 255, 255, 252)}},
        {"/30: the neighbour is near", false, 0, {opensNear}, true, TRUE, {}, "192.168.0.49",
         "255.255.255.252"},
        {"/25: the upper half is another subnet", false, 0,
         {Box(Text(125), Text(152) + "\n\n" + Text(157) + "192.168.0.130\n" + Text(153) + "255.255.255.128")},
         false, TRUE, {}, "192.168.0.130", "255.255.255.128"},
        {"the page never answers: no browser, the window disabled meanwhile", false, 0, {Box(Text(125), Text(128)) + " +launching"}, true,
         TRUE, {}, "192.168.0.2", "255.255.255.0", {}},
    };
    for (const auto& launch : launches) {
        SCOPED_TRACE(launch.name);
        Reset();
        shell.result = launch.opens;
        ui::ResultWindow window(kScanHere);
        Open(window);
        HWND hwnd = window.hwnd(), list = window.deviceList();
        FillTable({DiscoveryReply("ZTL-BR720 in", Ip(192, 168, 0, 50), 1), DiscoveryReply("ZTL-BR720 out", Ip(10, 0, 0, 1), 2)});
        window.ListFill(net::g_deviceTable, 2);
        EXPECT_EQ(Rows(list), (std::vector<std::string>{"ZTL-BR720 in|192.168.0.50|00:1a:2b:3c:4d:01",
                                                        "ZTL-BR720 out|10.0.0.1|00:1a:2b:3c:4d:02"}));
        std::fill(std::begin(net::g_recordLinks), std::end(net::g_recordLinks), launch.heardOn);
        std::strcpy(net::g_probeResult.address, launch.address);
        std::strcpy(net::g_probeResult.netmask, launch.netmask);
        ListView_SetSelectionMark(list, launch.mark);
        port->connects.assign(launch.page.begin(), launch.page.end());
        if (launch.doubleClick) {
            Notify(window, NM_DBLCLK);
        } else {
            SendMessageW(hwnd, WM_COMMAND, IDC_SETUP_PAGE, 0);
        }
        EXPECT_EQ(g_events, launch.events);
        EXPECT_EQ(!IsWindow(hwnd), launch.closes);
        EXPECT_EQ(Shown<ui::LaunchingWindow>(), nullptr);
        EXPECT_EQ(port->attempts.size(), !launch.closes ? 0u : launch.page.empty() ? 30u : launch.page.size());
        for (const auto& attempt : port->attempts) EXPECT_EQ(attempt.from, launch.heardOn.address);  // from its link
    }
}

}  // namespace
