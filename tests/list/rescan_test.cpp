// The Scan button's rescan on the scripted socket port: what the list, the
// buttons, the notice and the header show once it has ended, and that one
// scan flow runs at a time.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "flow/setup_page_launcher.h"
#include "net/socket_port.h"
#include "res/resource.h"
#include "tests/list/list_test_support.h"
#include "tests/win/test_support.h"
#include "ui/help_launcher.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"

namespace {

using cstest::ConverterReply;
using cstest::RowsOf;

class RescanTest : public testing::Test {
protected:
    void SetUp() override {
        ui::ResultWindowEntryPoints entryPoints;
        entryPoints.launchSelected = &flow::LaunchSelected;
        ASSERT_TRUE(fixture_.Open(entryPoints));
        cstest::OneEthernetPc(fixture_.port);
    }
    HWND list() const { return fixture_.list(); }
    ui::ResultWindow& window() { return *fixture_.window; }
    bool SetupPageEnabled() { return IsWindowEnabled(window().setupPageButton()) != FALSE; }
    bool ScanEnabled() { return IsWindowEnabled(window().scanButton()) != FALSE; }
    bool ProgressShown() {
        ui::ProgressWindow* progress = ui::ResultWindow::RescanContext().progressWindow;
        return progress && IsWindowVisible(progress->hwnd());
    }
    void Answer(const std::vector<std::vector<std::uint8_t>>& replies) {
        fixture_.port.inbound.clear();
        cstest::AnswerEveryCycle(fixture_.port, replies);
    }
    void ClickColumn(int column) {
        NMLISTVIEW note{};
        note.hdr = {list(), IDC_DEVICE_LIST, LVN_COLUMNCLICK};
        note.iSubItem = column;
        SendMessageW(fixture_.hwnd(), WM_NOTIFY, IDC_DEVICE_LIST, reinterpret_cast<LPARAM>(&note));
    }
    std::vector<std::string> HelpTopicsOpened(const cstest::RecordingShell& shell) {
        std::vector<std::string> topics;
        const std::string file = ui::HelpLauncher().HelpFilePath();
        for (const auto& call : shell.Calls()) {
            if (call.file == "hh.exe" && call.parameters.rfind(file, 0) == 0) {
                topics.push_back(call.parameters.substr(file.size()));
            }
        }
        return topics;
    }

    cstest::ListWindowFixture fixture_;
};

TEST_F(RescanTest, OneConverterIsSelectedFocusedAndMarkedWithSetupPageEnabledAndNoNotice) {
    Answer({ConverterReply("ZTL-BR720", 192, 168, 0, 50, 0x5e)});
    ASSERT_TRUE(fixture_.Rescan(1));
    const auto rows = RowsOf(list());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "ZTL-BR720");
    EXPECT_EQ(rows[0].address, "192.168.0.50");
    EXPECT_EQ(rows[0].mac, "00:1a:2b:3c:4d:5e");
    EXPECT_TRUE(rows[0].selected);
    EXPECT_TRUE(rows[0].focused);
    EXPECT_EQ(cstest::SelectionMark(list()), 0);
    EXPECT_TRUE(SetupPageEnabled());
    EXPECT_TRUE(ScanEnabled());
    EXPECT_EQ(GetWindowLongW(list(), GWL_STYLE) & 0xA8, 0xA8);
    EXPECT_TRUE(fixture_.notices.empty());
    EXPECT_FALSE(ProgressShown());
    EXPECT_EQ(fixture_.port.sent.size(), 3u);
    EXPECT_TRUE(fixture_.port.Balanced()) << fixture_.port.Report();
}

TEST_F(RescanTest, TwoOrMoreConvertersAreListedUnselectedWithSetupPageDisabled) {
    EnableWindow(window().setupPageButton(), TRUE);
    Answer({ConverterReply("ZTL-BR720 one", 192, 168, 0, 50, 1),
            ConverterReply("ZTL-AX3", 192, 168, 0, 51, 2),
            ConverterReply("ZTL-BR710 two", 192, 168, 0, 52, 3),
            ConverterReply("ZTL-BR720 three", 10, 0, 0, 1, 4)});
    ASSERT_TRUE(fixture_.Rescan(1));
    const auto rows = RowsOf(list());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "ZTL-BR720 one");
    EXPECT_EQ(rows[1].name, "ZTL-BR710 two");
    EXPECT_EQ(rows[2].name, "ZTL-BR720 three");
    for (const auto& row : rows) EXPECT_FALSE(row.selected) << row.name;
    EXPECT_EQ(cstest::SelectionMark(list()), -1);
    EXPECT_FALSE(SetupPageEnabled());
    EXPECT_TRUE(ScanEnabled());
    EXPECT_TRUE(fixture_.notices.empty());
    EXPECT_FALSE(ProgressShown());
}

// Every way to end without a converter: the notice, its help topic on Yes,
// and the window usable again.
struct NothingFound {
    const char* name;
    void (*script)(net::fake::ScriptedPort& port);
};

void PrintTo(const NothingFound& way, std::ostream* out) { *out << way.name; }

class RescanFindingNothing : public RescanTest, public testing::WithParamInterface<NothingFound> {};

TEST_P(RescanFindingNothing, ShowsNotice4WhileTheProgressShowsAndOpensTheRescanTopicOnlyOnYes) {
    const struct {
        LANGID language;
        int answer;
    } runs[] = {{win::kEnglish, 1}, {win::kJapanese, 1}, {win::kEnglish, 2}};
    for (const auto& run : runs) {
        SCOPED_TRACE(testing::Message() << "language " << run.language << " answer " << run.answer);
        cstest::LanguageScope scope(run.language);
        cstest::RecordingShell shell;
        fixture_.notices.clear();
        fixture_.port.inbound.clear();
        fixture_.port.sendErrors.clear();
        GetParam().script(fixture_.port);
        ASSERT_TRUE(fixture_.Rescan(run.answer));
        ASSERT_EQ(fixture_.notices.size(), 1u);
        EXPECT_EQ(fixture_.notices[0].code, 4);
        EXPECT_EQ(fixture_.notices[0].text,
                  cstest::Expected(IDS_NOTICE_NOT_DETECTED_RESCAN, run.language));
        EXPECT_TRUE(fixture_.notices[0].progressShown);
        if (run.answer == 1) {
            EXPECT_EQ(HelpTopicsOpened(shell), (std::vector<std::string>{"::/HTML/T922SCN.html"}));
        } else {
            EXPECT_TRUE(shell.Calls().empty());
        }
        EXPECT_TRUE(RowsOf(list()).empty());
        EXPECT_FALSE(SetupPageEnabled());
        EXPECT_TRUE(ScanEnabled());
        EXPECT_FALSE(ProgressShown());
        EXPECT_TRUE(IsWindow(fixture_.hwnd()));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Ways, RescanFindingNothing,
    testing::Values(
        NothingFound{"NoReply", [](net::fake::ScriptedPort&) {}},
        NothingFound{"OnlyUnsupportedNames",
                     [](net::fake::ScriptedPort& port) {
                         cstest::AnswerEveryCycle(
                             port, {ConverterReply("ZTL-AX300-G", 192, 168, 0, 50, 1),
                                    ConverterReply("ztl-br720", 192, 168, 0, 51, 2),
                                    ConverterReply("zTL-BR710", 192, 168, 0, 52, 3)});
                     }},
        NothingFound{"HostUnreachable",
                     [](net::fake::ScriptedPort& port) {
                         port.sendErrors[0] = net::kErrHostUnreachable;
                     }},
        NothingFound{"SocketFailure", [](net::fake::ScriptedPort& port) { port.openError = 10024; }}),
    [](const testing::TestParamInfo<NothingFound>& info) { return std::string(info.param.name); });

TEST_F(RescanTest, TwoScanCommandsBackToBackStartOneFlow) {
    Answer({ConverterReply("ZTL-BR720", 192, 168, 0, 50, 1)});
    ASSERT_TRUE(fixture_.Rescan(1, 2));
    EXPECT_EQ(fixture_.port.startups, 1);
    EXPECT_EQ(fixture_.port.sent.size(), 3u);
    EXPECT_EQ(RowsOf(list()).size(), 1u);
    EXPECT_EQ(cstest::DialogsOnThisThread<ui::ProgressWindow>().size(), 2u);  // initial + one rescan
}

TEST_F(RescanTest, AScanCommandWhileScanIsDisabledStartsNothing) {
    EnableWindow(window().scanButton(), FALSE);
    SendMessageW(fixture_.hwnd(), WM_COMMAND, MAKEWPARAM(IDC_SCAN, BN_CLICKED), 0);
    cstest::PumpPending();
    EXPECT_EQ(fixture_.port.startups, 0);
    EXPECT_EQ(cstest::DialogsOnThisThread<ui::ProgressWindow>().size(), 1u);
}

TEST_F(RescanTest, SetupPageRightAfterARescanOfOneConverterLaunchesIt) {
    cstest::RecordingShell shell;
    Answer({ConverterReply("ZTL-BR710", 192, 168, 0, 77, 1)});
    ASSERT_TRUE(fixture_.Rescan(1));
    ASSERT_TRUE(SetupPageEnabled());
    const HWND hwnd = fixture_.hwnd();
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_SETUP_PAGE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window().setupPageButton()));
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, "http://192.168.0.77");
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(RescanTest, ARescanRemovesTheArrowAndTheNextClickGoesOnInTheAlternation) {
    Answer({ConverterReply("ZTL-BR720 a", 192, 168, 0, 50, 1),
            ConverterReply("ZTL-BR720 b", 192, 168, 0, 51, 2)});
    ASSERT_TRUE(fixture_.Rescan(1));
    ClickColumn(1);  // descending, down arrow
    ASSERT_EQ(cstest::ArrowOf(list(), 1), 0);

    Answer({ConverterReply("ZTL-BR720 a", 192, 168, 0, 50, 1),
            ConverterReply("ZTL-BR720 b", 192, 168, 0, 51, 2)});
    ASSERT_TRUE(fixture_.Rescan(1));
    for (int column = 0; column < 3; ++column) EXPECT_EQ(cstest::ArrowOf(list(), column), -1);
    EXPECT_EQ(window().sortColumn(), 1);
    EXPECT_EQ(window().sortFlag(), 0);

    ClickColumn(2);  // ascending: the click after the last one before the rescan
    EXPECT_EQ(cstest::ArrowOf(list(), 2), 1);
    EXPECT_EQ(cstest::ArrowOf(list(), 1), -1);
    const auto rows = RowsOf(list());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].mac, "00:1a:2b:3c:4d:01");
}

TEST_F(RescanTest, AfterARescanOfOneConverterLaterRescansPlaceRowsByNameDescending) {
    Answer({ConverterReply("ZTL-BR720 m", 192, 168, 0, 50, 1)});
    ASSERT_TRUE(fixture_.Rescan(1));
    Answer({ConverterReply("ZTL-BR720 b", 192, 168, 0, 51, 2),
            ConverterReply("ZTL-BR720 x", 192, 168, 0, 52, 3),
            ConverterReply("ZTL-BR710 k", 192, 168, 0, 53, 4)});
    ASSERT_TRUE(fixture_.Rescan(1));
    const auto rows = RowsOf(list());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "ZTL-BR720 x");
    EXPECT_EQ(rows[1].name, "ZTL-BR720 b");
    EXPECT_EQ(rows[2].name, "ZTL-BR710 k");
    EXPECT_EQ(rows[1].address, "192.168.0.51");
    EXPECT_FALSE(SetupPageEnabled());
}

}  // namespace
