// The initial scan and decision flow in-process, for what no network can
// bring about end to end: interfaces that cannot be read for the subnet test
// after the scan read them, and a shell that cannot open the page. Also the
// order every other way out keeps: the progress window goes first, the
// message and its help, then the process end.
//
// The flow runs on the test's thread over a result window of the same thread;
// the socket port is scripted (its scan worker runs inline, so the first poll
// already finds the scan done), the shell records, notices and message boxes
// are answered by hooks as they initialise, and the process end is recorded.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "flow/initial_scan_flow.h"
#include "flow/ip_setup_dialog.h"
#include "net/device_table.h"
#include "res/resource.h"
#include "tests/flow/flow_test_support.h"
#include "tests/host/net/scripted_port.h"
#include "tests/win/test_support.h"
#include "ui/help_launcher.h"
#include "ui/notice_dialog.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"

namespace {

using cstest::Expected;
using net::fake::Arrives;
using net::fake::DiscoveryReply;
using net::fake::Ip;

constexpr int kListFails = 10055;  // WSAENOBUFS

// What the screen and the process went through, in order.
std::vector<std::string> g_events;
HWND g_resultWindow = nullptr;
HWND g_progressWindow = nullptr;

bool LaunchingWindowShown() {
    for (HWND window : cstest::DialogsOnThisThread<ui::LaunchingWindow>()) {
        if (IsWindowVisible(window)) return true;
    }
    return false;
}

void RecordEnd(int status) { g_events.push_back("end " + std::to_string(status)); }

// Every dialog as it initialises: what it is and what else was on screen.
// Message boxes (not dialogs of ours) are answered here; notices by the
// NoticeAnswerer.
class ScreenLog {
public:
    explicit ScreenLog(int messageBoxAnswer) {
        answer_ = messageBoxAnswer;
        hook_ = SetWindowsHookExW(WH_CALLWNDPROCRET, &Hook, nullptr, GetCurrentThreadId());
    }
    ~ScreenLog() { UnhookWindowsHookEx(hook_); }
    void AnswerWith(int answer) { answer_ = answer; }

    static std::string messageBoxText, messageBoxTitle;
    static HWND messageBoxOwner;

private:
    static LRESULT CALLBACK Hook(int code, WPARAM wParam, LPARAM lParam) {
        const auto* call = reinterpret_cast<const CWPRETSTRUCT*>(lParam);
        if (code == HC_ACTION && call->message == WM_CLOSE && call->hwnd == g_resultWindow) {
            g_events.push_back("close request to the result window");
        }
        if (code == HC_ACTION && call->message == WM_INITDIALOG) {
            std::string what;
            win::Dialog* dialog = win::Dialog::FromHandle(call->hwnd);
            if (auto* notice = dynamic_cast<ui::NoticeDialog*>(dialog)) {
                what = "notice " + std::to_string(notice->code);
            } else if (dynamic_cast<flow::IpSetupDialog*>(dialog)) {
                what = "address setup dialog";
            } else if (!dialog) {
                what = "message box";
                messageBoxText = cstest::ItemTextOf(call->hwnd, 0xFFFF);
                messageBoxTitle = cstest::TextOf(call->hwnd);
                messageBoxOwner = GetWindow(call->hwnd, GW_OWNER);
                PostMessageW(call->hwnd, WM_COMMAND, MAKEWPARAM(answer_, BN_CLICKED), 0);
            }
            if (!what.empty()) {
                if (IsWindowVisible(g_progressWindow)) what += " over the progress window";
                if (LaunchingWindowShown()) what += " over the launching window";
                g_events.push_back(what);
            }
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }

    static int answer_;
    HHOOK hook_ = nullptr;
};
int ScreenLog::answer_ = IDNO;
std::string ScreenLog::messageBoxText;
std::string ScreenLog::messageBoxTitle;
HWND ScreenLog::messageBoxOwner = nullptr;

// Records the shell's calls into the event list too, with what was on screen.
class Shell : public cstest::RecordingShell {
public:
    std::intptr_t Execute(HWND owner, const char* verb, const char* file, const char* parameters,
                          const char* directory, int show) override {
        std::string what = std::string("shell ") + file + (parameters ? std::string(" ") + parameters : "");
        if (LaunchingWindowShown()) what += " over the launching window";
        g_events.push_back(what);
        return cstest::RecordingShell::Execute(owner, verb, file, parameters, directory, show);
    }
};

// A PC whose interface list can be read once (by the scan) and then no more.
class Port : public net::fake::ScriptedPort {
public:
    int listReadsThatWork = 1000;
    int ReadInterfaceList(net::SocketHandle socket, std::size_t bufferBytes,
                          net::InterfaceEntry* entries, std::size_t* count) override {
        listError = listReadsThatWork-- > 0 ? 0 : kListFails;
        return net::fake::ScriptedPort::ReadInterfaceList(socket, bufferBytes, entries, count);
    }
};

std::vector<std::uint8_t> Converter(const char* name, int lastOctet, int network = 168) {
    net::fake::ReplyFields fields;
    fields.name = name;
    fields.address[0] = 192;
    fields.address[1] = static_cast<std::uint8_t>(network);
    fields.address[2] = 0;
    fields.address[3] = static_cast<std::uint8_t>(lastOctet);
    fields.mac[5] = static_cast<std::uint8_t>(lastOctet);
    return net::fake::Reply(fields);
}

std::string Help(const char* topic) { return ui::HelpLauncher().HelpFilePath() + topic; }

class InitialFlowTest : public testing::Test {
protected:
    void SetUp() override {
        std::memset(net::g_deviceTable, 0, sizeof net::g_deviceTable);
        net::g_scanState.running.store(0);
        net::g_scanState.lastError = 0;
        net::g_scanState.count = 0;
        g_events.clear();
        port.interfaces = {{0x13, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0)}};
        port.hostAddress = Ip(192, 168, 0, 2);
        net::SetActivePort(&port);
        ASSERT_TRUE(notices.installed());
        ASSERT_TRUE(window.Create(nullptr));
        context = &ui::ResultWindow::InitialContext();
        ASSERT_EQ(context->resultWindow, &window);
        ASSERT_NE(context->progressWindow, nullptr);
        g_resultWindow = window.hwnd();
        g_progressWindow = context->progressWindow->hwnd();
        ASSERT_TRUE(IsWindowVisible(g_progressWindow));
    }
    void TearDown() override {
        net::SetActivePort(nullptr);
        cstest::PumpPending();
    }

    unsigned RunFlow() {
        const unsigned result = flow::InitialScanFlow(context);
        cstest::PumpPending();
        return result;
    }

    int Rows() const { return static_cast<int>(SendMessageW(window.deviceList(), LVM_GETITEMCOUNT, 0, 0)); }

    cstest::LanguageScope english{win::kEnglish};
    Port port;
    Shell shell;
    cstest::NoticeAnswerer notices{1};
    ScreenLog screen{IDYES};
    // No flow of its own: the test runs the flow; the process end is recorded.
    ui::ResultWindow window{ui::ResultWindowEntryPoints{nullptr, nullptr, &RecordEnd}};
    ui::WorkerContext* context = nullptr;
};

// ---- the one path that leaves the program running ----

TEST_F(InitialFlowTest, SubnetTestThatCannotReadTheInterfacesLeavesTheWindowOpenScanEnabledAndShowsNothing) {
    port.listReadsThatWork = 1;  // the scan's probe reads them; the subnet test cannot
    port.inbound = {Arrives(Converter("ZTL-BR720", 50))};

    EXPECT_EQ(RunFlow(), 0u);

    EXPECT_TRUE(g_events.empty()) << g_events.front();
    EXPECT_TRUE(shell.Calls().empty());
    EXPECT_TRUE(notices.seen.empty());
    EXPECT_TRUE(IsWindow(window.hwnd()));
    EXPECT_FALSE(IsWindowVisible(g_progressWindow));
    EXPECT_TRUE(IsWindowEnabled(window.scanButton()));
    EXPECT_FALSE(IsWindowEnabled(window.setupPageButton()));
    // The converter stays listed, unselected, for the user to pick.
    ASSERT_EQ(Rows(), 1);
    EXPECT_EQ(SendMessageW(window.deviceList(), LVM_GETSELECTEDCOUNT, 0, 0), 0);
    EXPECT_EQ(port.listBufferSizes.size(), 2u) << "the scan and the subnet test each read the list";
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

// ---- the setup page ----

TEST_F(InitialFlowTest, OneConverterInTheSubnetHasItsPageOpenedOverTheLaunchingWindowThenTheProcessEnds) {
    port.inbound = {Arrives(Converter("ZTL-BR710", 50))};

    EXPECT_EQ(RunFlow(), 1u);

    const std::vector<std::string> expected = {
        "shell http://192.168.0.50 over the launching window",
        "close request to the result window",
        "end 0",
    };
    EXPECT_EQ(g_events, expected);
    const std::vector<cstest::ShellCall> calls = shell.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].owner, window.hwnd());
    EXPECT_EQ(calls[0].verb, "open");
    EXPECT_EQ(calls[0].parameters, "");
    EXPECT_FALSE(calls[0].hasDirectory);
    EXPECT_EQ(calls[0].show, SW_SHOW);
    EXPECT_FALSE(LaunchingWindowShown());
    EXPECT_TRUE(cstest::DialogsOnThisThread<ui::LaunchingWindow>().empty());
}

class ShellFailure : public InitialFlowTest, public testing::WithParamInterface<int> {};

TEST_P(ShellFailure, ShowsNotice3OverTheLaunchingWindowHelpOnlyOnYesThenTheProcessEnds) {
    const int answer = GetParam();
    notices.AnswerWith(answer);
    shell.result = 2;  // file not found
    port.inbound = {Arrives(Converter("ZTL-BR720", 50))};

    EXPECT_EQ(RunFlow(), 1u);

    std::vector<std::string> expected = {
        "shell http://192.168.0.50 over the launching window",
        "notice 3 over the launching window",
    };
    if (answer == 1) {
        expected.push_back("shell hh.exe " + Help("::/HTML/T130CNT_OPEN.html") +
                           " over the launching window");
    }
    expected.push_back("close request to the result window");
    expected.push_back("end 0");
    EXPECT_EQ(g_events, expected);
    ASSERT_EQ(notices.seen.size(), 1u);
    EXPECT_EQ(notices.seen[0].text, Expected(127, win::kEnglish));
    EXPECT_EQ(notices.seen[0].owner, window.hwnd());
    EXPECT_TRUE(cstest::DialogsOnThisThread<ui::LaunchingWindow>().empty());
}

INSTANTIATE_TEST_SUITE_P(AnsweredYesOrNo, ShellFailure, testing::Values(1, 2),
                         [](const testing::TestParamInfo<int>& info) {
                             return std::string(info.param == 1 ? "Yes" : "No");
                         });

// ---- every way to no converter: message, help, end ----

struct NoConverterCase {
    const char* name;
    void (*script)(Port& port);
    const char* shown;
    UINT textId;
    const char* topic;
    bool closesTheResultWindow;
};

void PrintTo(const NoConverterCase& c, std::ostream* out) { *out << c.name; }

const NoConverterCase kNoConverterCases[] = {
    {"SocketFailure", [](Port& p) { p.openError = 10047; }, "notice 5", 126,
     "::/HTML/T110NOT_FOUND.html", true},
    {"NoReply", [](Port&) {}, "notice 5", 126, "::/HTML/T110NOT_FOUND.html", true},
    {"OnlyUnsupportedNames",
     [](Port& p) {
         p.inbound = {Arrives(Converter("ztl-br720", 50)), Arrives(Converter("ZTL-BR700", 51))};
     },
     "notice 5", 126, "::/HTML/T110NOT_FOUND.html", true},
    {"TwoConverters",
     [](Port& p) {
         p.inbound = {Arrives(Converter("ZTL-BR720", 50)), Arrives(Converter("ZTL-BR710", 51))};
     },
     "notice 6", 150, "::/HTML/T120MULTIPUL.html", false},
    {"HostUnreachable", [](Port& p) { p.sendErrors = {{0, 10065}}; }, "message box", 158,
     "::/HTML/T110NOT_FOUND.html", true},
};

class NoConverter : public InitialFlowTest, public testing::WithParamInterface<NoConverterCase> {};

TEST_P(NoConverter, TheProgressWindowGoesBeforeTheMessageWhoseYesOpensItsHelpThenTheProcessEnds) {
    const NoConverterCase& c = GetParam();
    c.script(port);

    EXPECT_EQ(RunFlow(), 1u);

    std::vector<std::string> expected = {c.shown, "shell hh.exe " + Help(c.topic)};
    if (c.closesTheResultWindow) expected.push_back("close request to the result window");
    expected.push_back("end 0");
    EXPECT_EQ(g_events, expected);
    if (std::string(c.shown) == "message box") {
        EXPECT_EQ(ScreenLog::messageBoxText, Expected(c.textId, win::kEnglish));
        EXPECT_EQ(ScreenLog::messageBoxTitle, Expected(125, win::kEnglish));
        EXPECT_EQ(ScreenLog::messageBoxOwner, window.hwnd());
    } else {
        ASSERT_EQ(notices.seen.size(), 1u);
        EXPECT_EQ(notices.seen[0].text, Expected(c.textId, win::kEnglish));
        EXPECT_EQ(notices.seen[0].owner, window.hwnd());
    }
    EXPECT_TRUE(IsWindowVisible(g_progressWindow) == FALSE);
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

INSTANTIATE_TEST_SUITE_P(EveryWay, NoConverter, testing::ValuesIn(kNoConverterCases),
                         [](const testing::TestParamInfo<NoConverterCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(InitialFlowTest, HostUnreachableAnsweredNoOpensNoHelpAndStillEnds) {
    port.sendErrors = {{0, 10065}};
    screen.AnswerWith(IDNO);

    EXPECT_EQ(RunFlow(), 1u);

    const std::vector<std::string> expected = {"message box", "close request to the result window",
                                               "end 0"};
    EXPECT_EQ(g_events, expected);
    EXPECT_TRUE(shell.Calls().empty());
}

}  // namespace
