// The address setup dialog run modally on the test's thread, as the initial
// flow runs it on its own. The user's actions come from a script that the
// dialog plays one step at a time from its own message loop, the notice is
// answered by a hook on the same thread, the socket port is scripted and the
// shell only records: nothing here waits for time to pass.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

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
using cstest::ItemTextOf;
using cstest::TextOf;
using net::fake::Arrives;
using net::fake::AssignReply;
using net::fake::Ip;

constexpr char kMac[] = "00:1a:2b:3c:4d:5e";
constexpr char kUntouched[] = "untouched";
constexpr UINT kStepMessage = WM_APP + 7;
constexpr INT_PTR kScriptRanOut = -2;

// ---- reading the windows ----

// A value in network order (as the socket port holds it) as a dotted quad.
std::string NetDotted(std::uint32_t value) {
    std::uint8_t b[4];
    std::memcpy(b, &value, 4);
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

std::string Dotted(DWORD value) {
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", static_cast<int>(FIRST_IPADDRESS(value)),
                  static_cast<int>(SECOND_IPADDRESS(value)), static_cast<int>(THIRD_IPADDRESS(value)),
                  static_cast<int>(FOURTH_IPADDRESS(value)));
    return text;
}

struct FieldValue {
    int filled;
    std::string address;
};

FieldValue ReadField(HWND field) {
    DWORD value = 0;
    const LRESULT filled = SendMessageW(field, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&value));
    return {static_cast<int>(filled), Dotted(value)};
}

// The four edit fields of an address control, left to right.
std::vector<HWND> FieldEdits(HWND field) {
    std::vector<HWND> edits;
    for (HWND child = GetWindow(field, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        edits.push_back(child);
    }
    std::sort(edits.begin(), edits.end(), [](HWND a, HWND b) {
        return cstest::WindowRect(a).left < cstest::WindowRect(b).left;
    });
    return edits;
}

// ---- the scripted user ----

class ScriptedSetup;
using Step = std::function<void(ScriptedSetup&)>;

// Plays its steps from its own modal loop, one per posted message, so that
// whatever a step starts (a modal notice, a key handled by the loop) has
// finished before the next step runs. A script that leaves the dialog open
// ends it with kScriptRanOut instead of hanging the test.
class ScriptedSetup : public flow::IpSetupDialog {
public:
    explicit ScriptedSetup(std::vector<Step> script) : steps_(std::move(script)) {}
    int cancels = 0;
    // Every command that reached the filter, but the address field's edit
    // notifications.
    std::vector<WPARAM> commands;

protected:
    bool OnCommand(WPARAM wParam, LPARAM lParam) override {
        if (LOWORD(wParam) != IDC_ADDRESS_FIELD) commands.push_back(wParam);
        return flow::IpSetupDialog::OnCommand(wParam, lParam);
    }
    BOOL OnInitDialog() override {
        const BOOL result = flow::IpSetupDialog::OnInitDialog();
        PostMessageW(hwnd(), kStepMessage, 0, 0);
        return result;
    }
    void OnCancel() override {
        ++cancels;
        ended_ = true;
        flow::IpSetupDialog::OnCancel();
    }
    bool DispatchTable(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) override {
        if (message != kStepMessage) {
            return flow::IpSetupDialog::DispatchTable(message, wParam, lParam, result);
        }
        if (ended_) return true;
        if (next_ >= steps_.size()) {
            ended_ = true;
            EndDialog(kScriptRanOut);
            return true;
        }
        steps_[next_++](*this);
        if (!ended_) PostMessageW(hwnd(), kStepMessage, 0, 0);
        return true;
    }

private:
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    bool ended_ = false;
};

Step Do(std::function<void(ScriptedSetup&)> action) { return action; }

// Pressing a button as the mouse does.
Step Press(int id) {
    return [id](ScriptedSetup& d) { SendMessageW(d.Item(id), BM_CLICK, 0, 0); };
}

// Queued input: the modal loop handles it before the next step.
Step Post(UINT message, WPARAM wParam, LPARAM lParam = 0) {
    return [=](ScriptedSetup& d) { PostMessageW(d.hwnd(), message, wParam, lParam); };
}

Step Key(UINT key, int focusId) {
    return [=](ScriptedSetup& d) {
        HWND focus = d.Item(focusId);
        if (focusId == IDC_ADDRESS_FIELD) focus = FieldEdits(focus).at(3);
        SetFocus(focus);
        PostMessageW(focus, WM_KEYDOWN, key, 1);
    };
}

Step SetAddress(BYTE a, BYTE b, BYTE c, BYTE d4) {
    return [=](ScriptedSetup& d) {
        SendMessageW(d.addressField(), IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d4));
    };
}

Step BlankField(int index) {
    return [index](ScriptedSetup& d) { SetWindowTextW(FieldEdits(d.addressField()).at(index), L""); };
}

// ---- the socket port, looking at the screen while the exchange runs ----

struct StatusWindowSeen {
    int statusWindows = 0;
    HWND window = nullptr;
    bool visible = false;
    bool painted = false;
    std::string text;
    HWND owner = nullptr;
    RECT rect{};
    HWND dialog = nullptr;
    RECT dialogRect{};
};

class WatchingPort : public net::fake::ScriptedPort {
public:
    std::vector<StatusWindowSeen> atSend;

    int SendTo(net::SocketHandle socket, const std::uint8_t* data, std::size_t length,
               std::uint32_t address, std::uint16_t port) override {
        StatusWindowSeen seen;
        const std::vector<HWND> status = cstest::DialogsOnThisThread<ui::SettingAddressWindow>();
        const std::vector<HWND> dialogs = cstest::DialogsOnThisThread<flow::IpSetupDialog>();
        seen.statusWindows = static_cast<int>(status.size());
        if (!status.empty()) {
            seen.window = status[0];
            seen.visible = IsWindowVisible(status[0]) != FALSE;
            HWND text = GetDlgItem(status[0], IDC_STATUS_TEXT);
            seen.painted = !GetUpdateRect(status[0], nullptr, FALSE) &&
                           !GetUpdateRect(text, nullptr, FALSE);
            seen.text = TextOf(text);
            seen.owner = GetWindow(status[0], GW_OWNER);
            seen.rect = cstest::WindowRect(status[0]);
        }
        if (!dialogs.empty()) {
            seen.dialog = dialogs[0];
            seen.dialogRect = cstest::WindowRect(dialogs[0]);
        }
        atSend.push_back(seen);
        return net::fake::ScriptedPort::SendTo(socket, data, length, address, port);
    }
};

// ---- the fixture ----

class IpSetupTest : public testing::Test {
protected:
    void SetUp() override {
        std::memset(net::g_deviceTable, 0, sizeof net::g_deviceTable);
        net::g_scanState.running.store(0);
        net::g_scanState.lastError = 0;
        net::g_scanState.count = 0;
        net::SetActivePort(&port);
        ASSERT_TRUE(notices.installed());
        // The PC of most cases: one Ethernet interface and the Windows
        // loopback entry, which the dialog passes over.
        Pc({{0x13, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0)}, {0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}});
        owner.SetAssignedAddress(kUntouched);
    }
    void TearDown() override {
        net::SetActivePort(nullptr);
        cstest::PumpPending();
    }

    void Pc(std::vector<net::InterfaceEntry> interfaces) {
        port.interfaces = std::move(interfaces);
        port.hostAddress = port.interfaces.empty() ? 0 : port.interfaces[0].address;
    }

    INT_PTR Run(std::vector<Step> script) {
        ScriptedSetup dialog(std::move(script));
        dialog.SetConverterMac(kMac);
        dialog.SetOwnerWindow(&owner);
        const INT_PTR result = dialog.DoModal(nullptr);
        cancels = dialog.cancels;
        commands = dialog.commands;
        return result;
    }

    WatchingPort port;
    cstest::RecordingShell shell;
    cstest::NoticeAnswerer notices{2};
    ui::ResultWindow owner{ui::ResultWindowEntryPoints{}};
    int cancels = 0;
    std::vector<WPARAM> commands;
};

std::string IpSetupHelp() { return ui::HelpLauncher().HelpFilePath() + "::/HTML/T040IP.html"; }

// ---- texts, tips and the state initialisation leaves ----

class IpSetupTexts : public IpSetupTest, public testing::WithParamInterface<LANGID> {};

TEST_P(IpSetupTexts, EveryTextAndTipComesFromTheTableAndTheFocusIsOnExecuteSetup) {
    const LANGID language = GetParam();
    cstest::LanguageScope scope(language);
    std::string title, execute, cancel, label, explanation, pcAddress, tips[2];
    LRESULT toolCount = 0, maxTipWidth = 0;
    UINT toolFlags[2] = {};
    bool focusOnExecute = false;
    Run({Do([&](ScriptedSetup& d) {
             HWND h = d.hwnd();
             ShowWindow(h, SW_SHOW);  // as the modal loop does when it is first idle
             focusOnExecute = GetFocus() == d.Item(IDC_EXECUTE_SETUP);
             title = TextOf(h);
             execute = ItemTextOf(h, IDC_EXECUTE_SETUP);
             cancel = ItemTextOf(h, IDC_CANCEL_SETUP);
             label = ItemTextOf(h, IDC_ADDRESS_LABEL);
             explanation = ItemTextOf(h, IDC_EXPLANATION);
             pcAddress = ItemTextOf(h, IDC_PC_ADDRESS);
             toolCount = SendMessageW(d.toolTip(), TTM_GETTOOLCOUNT, 0, 0);
             maxTipWidth = SendMessageW(d.toolTip(), TTM_SETMAXTIPWIDTH, 0, 250);
             const int ids[2] = {IDC_EXECUTE_SETUP, IDC_CANCEL_SETUP};
             for (int i = 0; i < 2; ++i) {
                 tips[i] = cstest::ToolText(d.toolTip(), h, d.Item(ids[i]), &toolFlags[i]);
             }
         }),
         Press(IDC_CANCEL_SETUP)});
    EXPECT_EQ(title, Expected(116, language));
    EXPECT_EQ(execute, Expected(117, language));
    EXPECT_EQ(cancel, Expected(118, language));
    EXPECT_EQ(label, Expected(119, language));
    EXPECT_EQ(explanation, Expected(120, language));
    EXPECT_EQ(pcAddress, Expected(147, language) + "192.168.0.2");
    EXPECT_EQ(toolCount, 2);
    EXPECT_EQ(maxTipWidth, 250);
    EXPECT_EQ(tips[0], Expected(141, language));
    EXPECT_EQ(tips[1], Expected(142, language));
    for (UINT flags : toolFlags) {
        EXPECT_TRUE(flags & TTF_IDISHWND);
        EXPECT_FALSE(flags & TTF_SUBCLASS);  // the pointer reaches the tips only through the relay
    }
    EXPECT_TRUE(focusOnExecute);
}

INSTANTIATE_TEST_SUITE_P(IpSetupInBothLanguages, IpSetupTexts, cstest::BothLanguages(), cstest::LanguageName);

// ---- the suggested address ----

struct SuggestionCase {
    const char* name;
    std::uint32_t address, netmask;
    const char* suggestion;
};

void PrintTo(const SuggestionCase& c, std::ostream* out) { *out << c.name; }

class SuggestedAddress : public IpSetupTest, public testing::WithParamInterface<SuggestionCase> {};

TEST_P(SuggestedAddress, TheFieldOpensWithTheAddressNextToThePcs) {
    const SuggestionCase& c = GetParam();
    Pc({{0x13, c.address, c.netmask}, {0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}});
    FieldValue field{};
    Run({Do([&](ScriptedSetup& d) { field = ReadField(d.addressField()); }), Press(IDC_CANCEL_SETUP)});
    EXPECT_EQ(field.filled, 4);
    EXPECT_EQ(field.address, c.suggestion);
    EXPECT_EQ(Dotted(flow::SuggestedAddress(NetDotted(c.address).c_str(),
                                            NetDotted(c.netmask).c_str())),
              c.suggestion);
}

INSTANTIATE_TEST_SUITE_P(
    IpSetupCases, SuggestedAddress,
    testing::Values(
        SuggestionCase{"NextHost", Ip(192, 168, 0, 2), Ip(255, 255, 255, 0), "192.168.0.3"},
        SuggestionCase{"BelowWhenNextIsBroadcast", Ip(192, 168, 0, 254), Ip(255, 255, 255, 0),
                       "192.168.0.253"},
        SuggestionCase{"Octet255IsAHostInAWiderSubnet", Ip(192, 168, 0, 254), Ip(255, 255, 254, 0),
                       "192.168.0.255"},
        SuggestionCase{"WrapToSubnetAddressGivesOneUp", Ip(192, 168, 0, 255), Ip(255, 255, 254, 0),
                       "192.168.0.1"},
        SuggestionCase{"WrapDoesNotCarryIntoTheThirdOctet", Ip(192, 168, 1, 255),
                       Ip(255, 255, 0, 0), "192.168.1.0"},
        SuggestionCase{"BroadcastOfASmallSubnet", Ip(10, 0, 0, 6), Ip(255, 255, 255, 248),
                       "10.0.0.5"},
        SuggestionCase{"NoHostBitsGivesOneBelow", Ip(192, 168, 0, 10), Ip(255, 255, 255, 255),
                       "192.168.0.9"}),
    [](const testing::TestParamInfo<SuggestionCase>& info) { return std::string(info.param.name); });

TEST_F(IpSetupTest, ThePcAddressIsTheLastListedEntryWhoseFlagsAreNotExactly0x17) {
    // Wine lists its loopback with flags 0x5: such an entry counts like any other.
    Pc({{0x13, Ip(10, 0, 0, 6), Ip(255, 255, 255, 248)},
        {0x13, Ip(172, 16, 5, 20), Ip(255, 255, 0, 0)},
        {0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}});
    std::string shown, suggested;
    const auto look = [&](ScriptedSetup& d) {
        shown = ItemTextOf(d.hwnd(), IDC_PC_ADDRESS);
        suggested = ReadField(d.addressField()).address;
    };
    Run({Do(look), Press(IDC_CANCEL_SETUP)});
    EXPECT_EQ(shown, Expected(147, win::kEnglish) + "172.16.5.20");
    EXPECT_EQ(suggested, "172.16.5.21");

    Pc({{0x13, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0)}, {0x5, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}});
    Run({Do(look), Press(IDC_CANCEL_SETUP)});
    EXPECT_EQ(shown, Expected(147, win::kEnglish) + "127.0.0.1");
    EXPECT_EQ(suggested, "127.0.0.2");
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

struct NoInterfaceCase {
    const char* name;
    void (*arrange)(WatchingPort& port);
    const char* assigned;  // the exchange runs its own probe on the same PC
};

void PrintTo(const NoInterfaceCase& c, std::ostream* out) { *out << c.name; }

class WithoutAUsableInterface : public IpSetupTest,
                                public testing::WithParamInterface<NoInterfaceCase> {};

TEST_P(WithoutAUsableInterface, TheLabelStandsAloneAndTheDialogStillOpensAndWorks) {
    GetParam().arrange(port);
    port.inbound = {Arrives(AssignReply(1))};
    std::string shown;
    FieldValue field{};
    Run({Do([&](ScriptedSetup& d) {
             shown = ItemTextOf(d.hwnd(), IDC_PC_ADDRESS);
             field = ReadField(d.addressField());
         }),
         SetAddress(192, 168, 0, 77), Press(IDC_EXECUTE_SETUP)});
    EXPECT_EQ(shown, Expected(147, win::kEnglish));
    // Empty texts convert to all ones, as inet_addr gives them: no host bits,
    // so the suggestion is 255.255.255.254, whose first field is then held to
    // the field's range rather than left blank.
    EXPECT_EQ(field.filled, 4);
    EXPECT_EQ(field.address, "223.255.255.254");
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(owner.AssignedAddress(), GetParam().assigned);
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

INSTANTIATE_TEST_SUITE_P(
    IpSetupCases, WithoutAUsableInterface,
    testing::Values(
        NoInterfaceCase{"ListUnreadable", [](WatchingPort& p) { p.listError = net::kErrFault; }, ""},
        NoInterfaceCase{"NoSocket", [](WatchingPort& p) { p.openError = 10024; }, ""},
        NoInterfaceCase{"OnlyTheLoopback",
                        [](WatchingPort& p) {
                            p.interfaces = {{0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)}};
                            p.hostAddress = Ip(127, 0, 0, 1);
                        },
                        "192.168.0.77"}),
    [](const testing::TestParamInfo<NoInterfaceCase>& info) { return std::string(info.param.name); });

// ---- the first field's range ----

TEST_F(IpSetupTest, TheFirstFieldHoldsOneToTwoTwentyThreeAndTheOthersZeroToTwoFiftyFive) {
    std::vector<std::string> after;
    const auto typeThenLeave = [&](int index, const wchar_t* text) {
        return Do([&after, index, text](ScriptedSetup& d) {
            const std::vector<HWND> edits = FieldEdits(d.addressField());
            SetFocus(edits.at(index));
            SetWindowTextW(edits.at(index), text);
            SetFocus(d.Item(IDC_CANCEL_SETUP));
            after.push_back(TextOf(edits.at(index)));
        });
    };
    Run({Do([](ScriptedSetup& d) { ShowWindow(d.hwnd(), SW_SHOW); }), typeThenLeave(0, L"0"),
         typeThenLeave(0, L"224"), typeThenLeave(0, L"223"), typeThenLeave(0, L"1"),
         typeThenLeave(1, L"0"), typeThenLeave(1, L"255"), Press(IDC_CANCEL_SETUP)});
    const std::vector<std::string> expected = {"1", "223", "223", "1", "0", "255"};
    EXPECT_EQ(after, expected);
}

// ---- an incomplete address ----

TEST_F(IpSetupTest, AnIncompleteAddressShowsNotice7AndYesOpensTheTopicWhileTheDialogStays) {
    notices.AnswerWith(1);
    FieldValue before{}, afterNotice{};
    bool stillThere = false;
    std::size_t helpCallsAfterNotice = 0;
    Run({BlankField(3), Do([&](ScriptedSetup& d) { before = ReadField(d.addressField()); }),
         Press(IDC_EXECUTE_SETUP), Do([&](ScriptedSetup& d) {
             stillThere = IsWindow(d.hwnd()) && d.cancels == 0;
             afterNotice = ReadField(d.addressField());
             helpCallsAfterNotice = shell.Calls().size();
         }),
         Press(IDC_CANCEL_SETUP)});
    ASSERT_EQ(notices.seen.size(), 1u);
    EXPECT_EQ(notices.seen[0].code, 7);
    EXPECT_EQ(notices.seen[0].title, Expected(125, win::kEnglish));
    EXPECT_EQ(notices.seen[0].text, Expected(151, win::kEnglish));
    EXPECT_EQ(before.filled, 3);
    EXPECT_TRUE(stillThere);
    EXPECT_EQ(afterNotice.filled, before.filled);
    EXPECT_EQ(afterNotice.address, before.address);
    ASSERT_EQ(helpCallsAfterNotice, 1u);
    const auto calls = shell.Calls();
    EXPECT_EQ(calls[0].verb, "open");
    EXPECT_EQ(calls[0].file, "hh.exe");
    EXPECT_EQ(calls[0].parameters, IpSetupHelp());
    EXPECT_EQ(calls[0].show, SW_SHOW);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(owner.AssignedAddress(), kUntouched);
}

TEST_F(IpSetupTest, AfterNoToTheNoticeTheCompletedAddressIsAssigned) {
    port.inbound = {Arrives(AssignReply(1))};
    Run({BlankField(0), Press(IDC_EXECUTE_SETUP), SetAddress(192, 168, 0, 9), Press(IDC_EXECUTE_SETUP)});
    ASSERT_EQ(notices.seen.size(), 1u);
    EXPECT_EQ(notices.seen[0].code, 7);
    EXPECT_TRUE(shell.Calls().empty());
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(owner.AssignedAddress(), "192.168.0.9");
}

// ---- Execute Setup ----

std::vector<std::uint8_t> AssignRequest(const std::uint8_t (&address)[4]) {
    std::vector<std::uint8_t> bytes(net::kDatagramSize, 0);
    bytes[0] = 1;
    bytes[1] = 2;
    std::memcpy(&bytes[4], "ladder", 6);
    const std::uint8_t mac[6] = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E};
    std::memcpy(&bytes[36], mac, 6);
    std::memcpy(&bytes[44], address, 4);
    return bytes;
}

// The suggested address as it stands, then one as edited, sent first field first.
TEST_F(IpSetupTest, AnAcceptedAssignmentStoresTheNewAddressAndEndsTheDialog) {
    const struct {
        std::vector<Step> script;
        std::uint8_t address[4];
        const char* text;
    } runs[] = {{{Press(IDC_EXECUTE_SETUP)}, {192, 168, 0, 3}, "192.168.0.3"},
                {{SetAddress(10, 1, 2, 203), Press(IDC_EXECUTE_SETUP)}, {10, 1, 2, 203}, "10.1.2.203"}};
    for (const auto& run : runs) {
        SCOPED_TRACE(run.text);
        port.sent.clear();
        port.inbound = {Arrives(AssignReply(1))};
        EXPECT_EQ(Run(run.script), IDCANCEL);
        EXPECT_EQ(owner.AssignedAddress(), run.text);
        ASSERT_EQ(port.sent.size(), 3u);
        for (const auto& sent : port.sent) {
            EXPECT_EQ(sent.bytes, AssignRequest(run.address));
            EXPECT_EQ(sent.address, Ip(255, 255, 255, 255));
            EXPECT_EQ(sent.port, cstest::NetworkPort(192));
        }
        EXPECT_TRUE(notices.seen.empty());
        EXPECT_TRUE(cstest::DialogsOnThisThread<ui::SettingAddressWindow>().empty());
        EXPECT_TRUE(port.Balanced()) << port.Report();
    }
}

struct FailureCase {
    const char* name;
    void (*arrange)(WatchingPort& port);
};

void PrintTo(const FailureCase& c, std::ostream* out) { *out << c.name; }

class FailedAssignment : public IpSetupTest, public testing::WithParamInterface<FailureCase> {};

TEST_P(FailedAssignment, EmptiesTheAddressAndEndsTheDialogWithoutAMessage) {
    GetParam().arrange(port);
    EXPECT_EQ(Run({Press(IDC_EXECUTE_SETUP)}), IDCANCEL);
    EXPECT_EQ(cancels, 1);
    EXPECT_EQ(owner.AssignedAddress(), "");
    EXPECT_TRUE(notices.seen.empty());
    EXPECT_TRUE(cstest::DialogsOnThisThread<ui::SettingAddressWindow>().empty());
    EXPECT_TRUE(port.Balanced()) << port.Report();
}

INSTANTIATE_TEST_SUITE_P(
    IpSetupCases, FailedAssignment,
    testing::Values(
        FailureCase{"StatusZero", [](WatchingPort& p) { p.inbound = {Arrives(AssignReply(0))}; }},
        FailureCase{"Status256", [](WatchingPort& p) { p.inbound = {Arrives(AssignReply(256))}; }},
        FailureCase{"NoAnswer", [](WatchingPort&) {}},
        FailureCase{"BindFails", [](WatchingPort& p) { p.bindError = 10048; }},
        FailureCase{"SendFails",
                    [](WatchingPort& p) { p.sendErrors[0] = net::kErrHostUnreachable; }}),
    [](const testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

class SettingAddressShown : public IpSetupTest, public testing::WithParamInterface<LANGID> {};

TEST_P(SettingAddressShown, WhileTheExchangeRunsAPaintedStatusWindowIsCentredOverTheDialog) {
    cstest::LanguageScope scope(GetParam());
    port.inbound = {Arrives(AssignReply(1))};
    Run({Do([](ScriptedSetup& d) {
             // Visible and away from the screen's centre, so that centring
             // over the dialog differs from centring on the screen.
             ShowWindow(d.hwnd(), SW_SHOW);
             SetWindowPos(d.hwnd(), nullptr, 40, 30, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
         }),
         Press(IDC_EXECUTE_SETUP)});
    ASSERT_EQ(port.atSend.size(), 3u);
    for (const StatusWindowSeen& seen : port.atSend) {
        ASSERT_EQ(seen.statusWindows, 1);
        EXPECT_EQ(seen.window, port.atSend[0].window);
        EXPECT_TRUE(seen.visible);
        EXPECT_TRUE(seen.painted);
        EXPECT_EQ(seen.text, Expected(149, GetParam()));
        EXPECT_EQ(seen.owner, seen.dialog);
        EXPECT_EQ(seen.rect.right - seen.rect.left, ui::kStatusWindowWidth);
        EXPECT_EQ(seen.rect.bottom - seen.rect.top, ui::kStatusWindowHeight);
        const RECT& d = seen.dialogRect;
        EXPECT_EQ(d.left, 40);
        EXPECT_EQ(seen.rect.left, (d.left + d.right) / 2 - ui::kStatusWindowWidth / 2);
        EXPECT_EQ(seen.rect.top, (d.top + d.bottom) / 2 - ui::kStatusWindowHeight / 2);
    }
    EXPECT_FALSE(IsWindow(port.atSend[0].window));
}

INSTANTIATE_TEST_SUITE_P(IpSetupInBothLanguages, SettingAddressShown, cstest::BothLanguages(), cstest::LanguageName);

// ---- ending without an assignment, and what does not end it ----

TEST_F(IpSetupTest, CancelTheCloseButtonAndAltF4EndItWithTheAddressUntouched) {
    const Step idle = Do([](ScriptedSetup&) {});
    const Step altF4 = [](ScriptedSetup& d) {
        SetFocus(d.Item(IDC_CANCEL_SETUP));
        PostMessageW(d.Item(IDC_CANCEL_SETUP), WM_SYSKEYDOWN, VK_F4, 1 | (KF_ALTDOWN << 16));
    };
    const std::vector<Step> ways[] = {
        {Press(IDC_CANCEL_SETUP)},
        {Post(WM_SYSCOMMAND, SC_CLOSE)},
        {Post(WM_SYSCOMMAND, SC_CLOSE | 0x0002)},  // the low bits are not looked at
        {Do([](ScriptedSetup& d) { ShowWindow(d.hwnd(), SW_SHOW); }), altF4, idle, idle},
    };
    for (const auto& way : ways) {
        EXPECT_EQ(Run(way), IDCANCEL);
        EXPECT_EQ(owner.AssignedAddress(), kUntouched);
    }
    EXPECT_TRUE(port.sent.empty());
}

TEST_F(IpSetupTest, OkCancelCommandsEscAndACloseRequestAreDropped) {
    bool open = false;
    Run({Post(WM_COMMAND, IDOK), Post(WM_COMMAND, IDCANCEL), Key(VK_ESCAPE, IDC_ADDRESS_FIELD),
         Key(VK_ESCAPE, IDC_CANCEL_SETUP), Post(WM_CLOSE, 0),
         Do([&](ScriptedSetup& d) { open = IsWindow(d.hwnd()) && d.cancels == 0; }),
         Press(IDC_CANCEL_SETUP)});
    // Each of them did reach the filter as command 1 or 2, and went no further.
    ASSERT_GE(commands.size(), 5u);
    EXPECT_EQ(std::vector<WPARAM>(commands.begin(), commands.begin() + 5),
              (std::vector<WPARAM>{IDOK, IDCANCEL, IDCANCEL, IDCANCEL, IDCANCEL}));
    EXPECT_TRUE(open);
    EXPECT_EQ(cancels, 1);
    EXPECT_TRUE(port.sent.empty());
    EXPECT_EQ(owner.AssignedAddress(), kUntouched);
}

TEST_F(IpSetupTest, EnterInTheAddressFieldRunsExecuteSetup) {
    port.inbound = {Arrives(AssignReply(1))};
    const INT_PTR result = Run({Do([](ScriptedSetup& d) { ShowWindow(d.hwnd(), SW_SHOW); }),
                                Key(VK_RETURN, IDC_ADDRESS_FIELD)});
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_EQ(commands, (std::vector<WPARAM>{MAKEWPARAM(IDC_EXECUTE_SETUP, BN_CLICKED)}));
    EXPECT_EQ(port.sent.size(), 3u);
    EXPECT_EQ(owner.AssignedAddress(), "192.168.0.3");
}

// ---- context help and the tool-tip relay ----

TEST_F(IpSetupTest, ContextHelpOpensTheTopicWithoutHelpModeAndKeepsTheDialog) {
    bool open = false;
    HWND capture = nullptr;
    Run({Post(WM_SYSCOMMAND, SC_CONTEXTHELP), Post(WM_SYSCOMMAND, SC_CONTEXTHELP | 0x000F),
         Do([&](ScriptedSetup& d) {
             open = IsWindow(d.hwnd()) && d.cancels == 0;
             capture = GetCapture();
         }),
         Press(IDC_CANCEL_SETUP)});
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 2u);
    for (const auto& call : calls) {
        EXPECT_EQ(call.verb, "open");
        EXPECT_EQ(call.file, "hh.exe");
        EXPECT_EQ(call.parameters, IpSetupHelp());
        EXPECT_EQ(call.owner, nullptr);
        EXPECT_FALSE(call.hasDirectory);
        EXPECT_EQ(call.show, SW_SHOW);
    }
    EXPECT_TRUE(open);
    EXPECT_EQ(capture, nullptr);
    EXPECT_EQ(owner.AssignedAddress(), kUntouched);
}

TEST_F(IpSetupTest, TheToolTipsHearExactlyTheSevenMouseMessages) {
    std::vector<UINT> seen;
    Run({Do([&](ScriptedSetup& d) {
             seen = cstest::RelayedToToolTip(d.toolTip(), d.Item(IDC_CANCEL_SETUP),
                                             [&](MSG* msg) { d.PreTranslateMessage(msg); });
         }),
         Press(IDC_CANCEL_SETUP)});
    EXPECT_EQ(seen, cstest::kTipMouseMessages);
}

}  // namespace
