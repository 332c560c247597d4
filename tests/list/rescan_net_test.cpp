// The rescan on the platform's sockets, against the converter simulator.
// Only rescan_net_case.sh runs these, inside the namespaces it makes, with a
// wineserver started there; anywhere else every case skips.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "flow/setup_page_launcher.h"
#include "res/resource.h"
#include "tests/list/list_test_support.h"
#include "tests/win/test_support.h"
#include "ui/result_window.h"

namespace {

using cstest::RowsOf;

class RescanOnTheNetwork : public testing::Test {
protected:
    void SetUp() override {
        const char* inNamespace = std::getenv("CS_LIST_NET_NAMESPACE");
        if (!inNamespace || std::strcmp(inNamespace, "1") != 0) {
            GTEST_SKIP() << "runs only inside the namespaces of rescan_net_case.sh";
        }
        ui::ResultWindowEntryPoints entryPoints;
        entryPoints.launchSelected = &flow::LaunchSelected;
        ASSERT_TRUE(fixture_.Open(entryPoints));
    }

    cstest::ListWindowFixture fixture_{cstest::ListWindowFixture::Sockets::kPlatform};
};

TEST_F(RescanOnTheNetwork, OneConverterIsSelectedAndTheSetupPageButtonOpensIt) {
    cstest::RecordingShell shell;  // no browser: the page is only recorded
    ASSERT_TRUE(fixture_.Rescan(1));
    const auto rows = RowsOf(fixture_.list());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name, "ZTL-BR720 sim");
    EXPECT_EQ(rows[0].address, "192.168.0.50");
    EXPECT_EQ(rows[0].mac, "00:1a:2b:3c:4d:5e");
    EXPECT_TRUE(rows[0].selected);
    EXPECT_TRUE(fixture_.notices.empty());
    ASSERT_TRUE(IsWindowEnabled(fixture_.window->setupPageButton()));

    const HWND hwnd = fixture_.hwnd();
    SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(IDC_SETUP_PAGE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(fixture_.window->setupPageButton()));
    const auto calls = shell.Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].file, "http://192.168.0.50");
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(RescanOnTheNetwork, SupportedConvertersAreListedInArrivalOrderAndNoneIsSelected) {
    ASSERT_TRUE(fixture_.Rescan(1));
    const auto rows = RowsOf(fixture_.list());
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, "ZTL-BR710 first");
    EXPECT_EQ(rows[0].address, "192.168.0.51");
    EXPECT_EQ(rows[1].name, "ZTL-BR720 second");
    EXPECT_EQ(rows[1].address, "192.168.0.52");
    EXPECT_EQ(rows[1].mac, "02:00:00:00:00:02");
    for (const auto& row : rows) EXPECT_FALSE(row.selected);
    EXPECT_FALSE(IsWindowEnabled(fixture_.window->setupPageButton()));
    EXPECT_TRUE(fixture_.notices.empty());
}

TEST_F(RescanOnTheNetwork, HostUnreachableEndsWithNotice4AndScanEnabledAgain) {
    cstest::RecordingShell shell;
    ASSERT_TRUE(fixture_.Rescan(2));
    ASSERT_EQ(fixture_.notices.size(), 1u);
    EXPECT_EQ(fixture_.notices[0].code, 4);
    EXPECT_TRUE(RowsOf(fixture_.list()).empty());
    EXPECT_TRUE(IsWindowEnabled(fixture_.window->scanButton()));
    EXPECT_TRUE(shell.Calls().empty());
}

}  // namespace
