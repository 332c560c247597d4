// Opening the marked converter's setup page from the list: the button and the
// double-click, the subnet warning, the LaunchingWindow around the shell call
// and the two ways a launch can fail.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <ostream>
#include <string>
#include <vector>

#include "flow/setup_page_launcher.h"
#include "net/device_table.h"
#include "res/resource.h"
#include "tests/list/list_test_support.h"
#include "tests/win/test_support.h"
#include "ui/result_window.h"
#include "ui/status_windows.h"

namespace {

using cstest::ConverterRecord;
using cstest::Expected;

constexpr char kNoSelection[] = "Please select the Access Point from the Access Point List.";

// What the screen held while the shell was asked.
struct AtShellCall {
    bool launchingShown = false;
    std::string launchingText;
    HWND launchingOwner = nullptr;
    RECT launchingRect{};
};

class ObservingShell : public cstest::RecordingShell {
public:
    std::intptr_t Execute(HWND owner, const char* verb, const char* file, const char* parameters,
                          const char* directory, int show) override {
        AtShellCall seen;
        EnumWindows(
            [](HWND window, LPARAM out) -> BOOL {
                if (IsWindowVisible(window) &&
                    dynamic_cast<ui::LaunchingWindow*>(cstest::OwnDialog(window))) {
                    auto* record = reinterpret_cast<AtShellCall*>(out);
                    record->launchingShown = true;
                    record->launchingText = cstest::ItemTextOf(window, IDC_STATUS_TEXT);
                    record->launchingOwner = GetWindow(window, GW_OWNER);
                    record->launchingRect = cstest::WindowRect(window);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&seen));
        atCalls.push_back(seen);
        return cstest::RecordingShell::Execute(owner, verb, file, parameters, directory, show);
    }
    std::vector<AtShellCall> atCalls;
};

enum class Way { kButton, kDoubleClick };
void PrintTo(Way way, std::ostream* out) { *out << (way == Way::kButton ? "button" : "double-click"); }

class LaunchSelectedTest : public testing::TestWithParam<Way> {
protected:
    void SetUp() override {
        ui::ResultWindowEntryPoints entryPoints;
        entryPoints.launchSelected = &flow::LaunchSelected;
        ASSERT_TRUE(fixture_.Open(entryPoints));
        hwnd_ = fixture_.hwnd();
        std::memset(table_, 0, sizeof table_);
        table_[0] = ConverterRecord("ZTL-BR720 near", 192, 168, 0, 50, 1);
        table_[1] = ConverterRecord("ZTL-BR720 far", 10, 0, 0, 1, 2);
        ASSERT_EQ(fixture_.window->ListFill(table_, 2), 2);
        Probe("192.168.0.2", "255.255.255.0");
    }
    void Probe(const char* address, const char* netmask) {
        std::strcpy(net::g_probeResult.address, address);
        std::strcpy(net::g_probeResult.netmask, netmask);
    }
    void Mark(int row) { SendMessageW(fixture_.list(), LVM_SETSELECTIONMARK, 0, row); }
    void Launch() {
        if (GetParam() == Way::kButton) {
            SendMessageW(hwnd_, WM_COMMAND, MAKEWPARAM(IDC_SETUP_PAGE, BN_CLICKED),
                         reinterpret_cast<LPARAM>(fixture_.window->setupPageButton()));
        } else {
            NMITEMACTIVATE note{};
            note.hdr = {fixture_.list(), IDC_DEVICE_LIST, NM_DBLCLK};
            note.iItem = -1;
            EXPECT_EQ(SendMessageW(hwnd_, WM_NOTIFY, IDC_DEVICE_LIST,
                                   reinterpret_cast<LPARAM>(&note)),
                      0);
        }
        cstest::PumpPending();
    }
    bool AnyLaunchingWindowLeft() {
        return !cstest::DialogsOnThisThread<ui::LaunchingWindow>().empty();
    }

    cstest::ListWindowFixture fixture_;
    HWND hwnd_ = nullptr;
    net::DeviceRecord table_[net::kDeviceTableCapacity];
};

TEST_P(LaunchSelectedTest, WithoutAMarkAsksForASelectionUnderTheProgramsName) {
    ObservingShell shell;
    cstest::MessageBoxAnswerer boxes;
    // Rows selected by program code without the mark do not count.
    LVITEMW item{};
    item.stateMask = item.state = LVIS_SELECTED;
    SendMessageW(fixture_.list(), LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    ASSERT_EQ(cstest::SelectionMark(fixture_.list()), -1);
    Launch();
    ASSERT_EQ(boxes.seen.size(), 1u);
    EXPECT_EQ(boxes.seen[0].text, kNoSelection);
    EXPECT_EQ(boxes.seen[0].caption, win::ToUtf8(flow::ApplicationName()));
    EXPECT_TRUE(boxes.seen[0].hasOk);
    EXPECT_FALSE(boxes.seen[0].hasCancel);
    EXPECT_FALSE(boxes.seen[0].hasIcon);
    EXPECT_EQ(boxes.seen[0].owner, hwnd_);
    EXPECT_TRUE(shell.Calls().empty());
    EXPECT_TRUE(IsWindow(hwnd_));
}

TEST_P(LaunchSelectedTest, InThePcSubnetOpensTheSetupPageBehindTheLaunchingWindowThenCloses) {
    for (LANGID language : {win::kEnglish, win::kJapanese}) {
        if (!IsWindow(hwnd_)) {
            SetUp();
        }
        cstest::LanguageScope scope(language);
        ObservingShell shell;
        cstest::MessageBoxAnswerer boxes;
        Mark(0);
        Launch();
        const auto calls = shell.Calls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].verb, "open");
        EXPECT_EQ(calls[0].file, "http://192.168.0.50");
        EXPECT_EQ(calls[0].parameters, "");
        EXPECT_FALSE(calls[0].hasDirectory);
        EXPECT_EQ(calls[0].show, SW_SHOW);
        EXPECT_EQ(calls[0].owner, hwnd_);
        ASSERT_EQ(shell.atCalls.size(), 1u);
        const AtShellCall& seen = shell.atCalls[0];
        EXPECT_TRUE(seen.launchingShown);
        EXPECT_EQ(seen.launchingText, Expected(IDS_LAUNCHING, language));
        EXPECT_EQ(seen.launchingOwner, hwnd_);
        EXPECT_EQ(seen.launchingRect.right - seen.launchingRect.left, 260);
        EXPECT_EQ(seen.launchingRect.bottom - seen.launchingRect.top, 80);
        EXPECT_TRUE(boxes.seen.empty());
        EXPECT_FALSE(IsWindow(hwnd_));
        EXPECT_FALSE(AnyLaunchingWindowLeft());
    }
}

TEST_P(LaunchSelectedTest, OutsideThePcSubnetWarnsWithThePcSettingsAndLaunchesNothing) {
    for (LANGID language : {win::kEnglish, win::kJapanese}) {
        cstest::LanguageScope scope(language);
        ObservingShell shell;
        cstest::MessageBoxAnswerer boxes;
        Mark(1);
        Launch();
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, Expected(IDS_SUBNET_WARNING, language) + "\n\n" +
                                          Expected(IDS_SUBNET_ADDRESS_LABEL, language) + "192.168.0.2\n" +
                                          Expected(IDS_SUBNET_LABEL, language) + "255.255.255.0");
        EXPECT_EQ(boxes.seen[0].caption, Expected(IDS_ERROR, language));
        EXPECT_TRUE(boxes.seen[0].hasOk);
        EXPECT_FALSE(boxes.seen[0].hasCancel);
        EXPECT_TRUE(boxes.seen[0].hasIcon);
        EXPECT_EQ(boxes.seen[0].owner, hwnd_);
        EXPECT_FALSE(boxes.seen[0].launchingShown);
        EXPECT_TRUE(shell.Calls().empty());
        EXPECT_TRUE(IsWindow(hwnd_));
        EXPECT_TRUE(IsWindowEnabled(hwnd_));
    }
    // The English text exactly as the user reads it.
    cstest::LanguageScope english(win::kEnglish);
    EXPECT_EQ(win::ToUtf8(flow::SubnetWarningText("192.168.0.2", "255.255.255.0")),
              "Current setting may not be able to access the Access Point Setup page.\n"
              "Please configure the PC's Internet protocol(TCP?IP).\n\n"
              "IP Address192.168.0.2\nSubnet255.255.255.0");
}

TEST_P(LaunchSelectedTest, AShellFailureIsReportedWhileTheLaunchingWindowShowsAndTheWindowStillCloses) {
    for (LANGID language : {win::kEnglish, win::kJapanese}) {
        if (!IsWindow(hwnd_)) SetUp();
        cstest::LanguageScope scope(language);
        ObservingShell shell;
        shell.result = 2;  // file not found
        cstest::MessageBoxAnswerer boxes;
        Mark(0);
        Launch();
        ASSERT_EQ(shell.Calls().size(), 1u);
        ASSERT_EQ(boxes.seen.size(), 1u);
        EXPECT_EQ(boxes.seen[0].text, Expected(IDS_OPEN_FAILED_FROM_LIST, language));
        EXPECT_EQ(boxes.seen[0].caption, Expected(IDS_ERROR, language));
        EXPECT_TRUE(boxes.seen[0].hasOk);
        EXPECT_FALSE(boxes.seen[0].hasCancel);
        EXPECT_FALSE(boxes.seen[0].hasYes);
        EXPECT_TRUE(boxes.seen[0].hasIcon);
        EXPECT_EQ(boxes.seen[0].owner, hwnd_);
        EXPECT_TRUE(boxes.seen[0].launchingShown);
        EXPECT_EQ(boxes.seen[0].launchingText, Expected(IDS_LAUNCHING, language));
        // No help is offered from here: the one shell call was the page.
        EXPECT_EQ(shell.Calls()[0].file, "http://192.168.0.50");
        EXPECT_FALSE(IsWindow(hwnd_));
        EXPECT_FALSE(AnyLaunchingWindowLeft());
    }
}

TEST_P(LaunchSelectedTest, WithoutAProbeResultTheMarkedConverterIsLaunched) {
    Probe("", "");
    ObservingShell shell;
    cstest::MessageBoxAnswerer boxes;
    Mark(1);
    Launch();
    ASSERT_EQ(shell.Calls().size(), 1u);
    EXPECT_EQ(shell.Calls()[0].file, "http://10.0.0.1");
    EXPECT_TRUE(boxes.seen.empty());
    EXPECT_FALSE(IsWindow(hwnd_));
}

INSTANTIATE_TEST_SUITE_P(FromTheList, LaunchSelectedTest,
                         testing::Values(Way::kButton, Way::kDoubleClick),
                         [](const testing::TestParamInfo<Way>& info) {
                             return std::string(info.param == Way::kButton ? "Button"
                                                                            : "DoubleClick");
                         });

TEST(SubnetOfThePc, HoldsAConverterOnlyWhenTheMaskedAddressesAreEqual) {
    EXPECT_TRUE(flow::InPcSubnet("192.168.0.2", "255.255.255.0", "192.168.0.50"));
    EXPECT_FALSE(flow::InPcSubnet("192.168.0.2", "255.255.255.0", "192.168.1.50"));
    EXPECT_FALSE(flow::InPcSubnet("192.168.0.2", "255.255.255.0", "10.0.0.1"));
    EXPECT_TRUE(flow::InPcSubnet("10.1.2.3", "255.0.0.0", "10.200.0.9"));
    EXPECT_TRUE(flow::InPcSubnet("10.1.2.3", "0.0.0.0", "172.16.0.1"));
    // A missing PC address or netmask holds every converter.
    EXPECT_TRUE(flow::InPcSubnet("", "255.255.255.0", "10.0.0.1"));
    EXPECT_TRUE(flow::InPcSubnet("192.168.0.2", "", "10.0.0.1"));
}

}  // namespace
