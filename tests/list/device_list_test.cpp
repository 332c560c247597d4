// Which replies are listed, in which order the rows land, and how a column
// click sorts them and moves the header arrow.
#include <windows.h>
#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "net/device_table.h"
#include "res/resource.h"
#include "tests/list/list_test_support.h"
#include "tests/win/test_support.h"
#include "ui/result_window.h"

namespace {

using cstest::ArrowOf;
using cstest::ConverterRecord;
using cstest::RowsOf;

std::vector<std::string> Column(HWND list, int column) {
    std::vector<std::string> texts;
    for (const cstest::Row& row : RowsOf(list)) {
        texts.push_back(column == 0 ? row.name : column == 1 ? row.address : row.mac);
    }
    return texts;
}

TEST(ModelFilter, PassesOnlyNamesThatHoldASupportedModelExactly) {
    EXPECT_EQ(ui::ResultWindow::ModelFilter("ZTL-BR720"), 1);
    EXPECT_EQ(ui::ResultWindow::ModelFilter("ZTL-BR710"), 1);
    EXPECT_EQ(ui::ResultWindow::ModelFilter("Office ZTL-BR720 (2F)"), 1);
    EXPECT_EQ(ui::ResultWindow::ModelFilter("xZTL-BR710x"), 1);
    EXPECT_EQ(ui::ResultWindow::ModelFilter("ztl-br720"), 0);
    EXPECT_EQ(ui::ResultWindow::ModelFilter("ZTL-BR72"), 0);
    EXPECT_EQ(ui::ResultWindow::ModelFilter("ZTL-BR730"), 0);
    EXPECT_EQ(ui::ResultWindow::ModelFilter("ZTL BR720"), 0);
    EXPECT_EQ(ui::ResultWindow::ModelFilter(""), 0);
    EXPECT_EQ(ui::ResultWindow::ModelFilter(nullptr), 0);
}

class DeviceListTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture_.Open(ui::ResultWindowEntryPoints{}));
        std::memset(table_, 0, sizeof table_);
    }
    HWND list() const { return fixture_.list(); }
    ui::ResultWindow& window() { return *fixture_.window; }

    LRESULT ClickColumn(int column) {
        NMLISTVIEW note{};
        note.hdr = {list(), IDC_DEVICE_LIST, LVN_COLUMNCLICK};
        note.iItem = -1;
        note.iSubItem = column;
        return SendMessageW(fixture_.hwnd(), WM_NOTIFY, IDC_DEVICE_LIST,
                            reinterpret_cast<LPARAM>(&note));
    }
    void SortDescendingFromNowOn() {
        SetWindowLongW(list(), GWL_STYLE,
                       GetWindowLongW(list(), GWL_STYLE) | ui::kListStylesAfterClick);
    }

    cstest::ListWindowFixture fixture_;
    net::DeviceRecord table_[net::kDeviceTableCapacity];
};

TEST_F(DeviceListTest, RowsKeepTheTableOrderWhenRecordsBetweenAreFilteredOut) {
    table_[0] = ConverterRecord("ZTL-BR720 B", 192, 168, 0, 50, 0x5e);
    table_[1] = ConverterRecord("ZTL-AX3", 192, 168, 0, 51, 0x01);
    table_[2] = ConverterRecord("ZTL-BR710 A", 10, 0, 0, 1, 0xaf);
    table_[3] = ConverterRecord("ztl-br720", 192, 168, 0, 53, 0x03);
    table_[4] = ConverterRecord("ZTL-BR720 C", 172, 16, 5, 9, 0x04);
    ui::ListedRow last;
    EXPECT_EQ(window().ListFill(table_, 5, &last), 3);
    const auto rows = RowsOf(list());
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].name, "ZTL-BR720 B");
    EXPECT_EQ(rows[0].address, "192.168.0.50");
    EXPECT_EQ(rows[0].mac, "00:1a:2b:3c:4d:5e");
    EXPECT_EQ(rows[1].name, "ZTL-BR710 A");
    EXPECT_EQ(rows[1].address, "10.0.0.1");
    EXPECT_EQ(rows[1].mac, "00:1a:2b:3c:4d:af");
    EXPECT_EQ(rows[2].name, "ZTL-BR720 C");
    EXPECT_EQ(rows[2].address, "172.16.5.9");
    EXPECT_STREQ(last.address, "172.16.5.9");
    EXPECT_STREQ(last.mac, "00:1a:2b:3c:4d:04");
    // Each row refers to its own record in the table.
    for (int row = 0; row < 3; ++row) {
        LVITEMW item{};
        item.mask = LVIF_PARAM;
        item.iItem = row;
        SendMessageW(list(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
        EXPECT_EQ(item.lParam, reinterpret_cast<LPARAM>(&table_[row == 0 ? 0 : row == 1 ? 2 : 4]));
    }
}

TEST_F(DeviceListTest, OnceTheListSortsDescendingRowsArePlacedByName) {
    SortDescendingFromNowOn();
    table_[0] = ConverterRecord("ZTL-BR720 B", 192, 168, 0, 50, 1);
    table_[1] = ConverterRecord("other", 192, 168, 0, 51, 2);
    table_[2] = ConverterRecord("ZTL-BR720 C", 192, 168, 0, 52, 3);
    table_[3] = ConverterRecord("ZTL-BR710 A", 192, 168, 0, 53, 4);
    EXPECT_EQ(window().ListFill(table_, 4), 3);
    EXPECT_EQ(Column(list(), 0),
              (std::vector<std::string>{"ZTL-BR720 C", "ZTL-BR720 B", "ZTL-BR710 A"}));
    // The other columns follow their row wherever it was placed.
    EXPECT_EQ(Column(list(), 1),
              (std::vector<std::string>{"192.168.0.52", "192.168.0.50", "192.168.0.53"}));
}

TEST_F(DeviceListTest, ANameFillingTheWholeRecordIsReadUpToItsEnd) {
    table_[0] = ConverterRecord("", 192, 168, 0, 50, 1);
    std::memset(table_[0].bytes + net::kNameOffset, 'Z', net::kNameLength);
    std::memcpy(table_[0].bytes + net::kNameOffset, "ZTL-BR720", 9);
    EXPECT_EQ(window().ListFill(table_, 1), 1);
    const auto rows = RowsOf(list());
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].name.size(), net::kNameLength);
}

TEST_F(DeviceListTest, ACountBeyondTheTableReadsNoFurther) {
    for (int i = 0; i < net::kDeviceTableCapacity; ++i) {
        table_[i] = ConverterRecord("ZTL-BR720", 10, 0, 0, static_cast<std::uint8_t>(i), 1);
    }
    EXPECT_EQ(window().ListFill(table_, 1000), net::kDeviceTableCapacity);
}

TEST(SortCompare, KeysOrderAddressesNumericallyMacsByTheirBytesAndNamesWithoutCase) {
    const net::DeviceRecord nine = ConverterRecord("ZTL-BR720 a", 192, 168, 0, 9, 0x10);
    const net::DeviceRecord ten = ConverterRecord("ztl-br720 A", 192, 168, 0, 10, 0x0f);
    const auto compare = [&](const net::DeviceRecord& x, const net::DeviceRecord& y, int flag,
                             int column) {
        ui::SortParameters parameters{flag, column};
        return ui::ResultWindow::SortCompare(reinterpret_cast<LPARAM>(&x),
                                             reinterpret_cast<LPARAM>(&y),
                                             reinterpret_cast<LPARAM>(&parameters));
    };
    // 192168000009 before 192168000010; descending turns it round.
    EXPECT_LT(compare(nine, ten, 0, 1), 0);
    EXPECT_GT(compare(nine, ten, 1, 1), 0);
    // ...:0f before ...:10
    EXPECT_GT(compare(nine, ten, 0, 2), 0);
    EXPECT_LT(compare(nine, ten, 1, 2), 0);
    // Names that differ only in case are equal in both directions.
    EXPECT_EQ(compare(nine, ten, 0, 0), 0);
    EXPECT_EQ(compare(nine, ten, 1, 0), 0);
    // A column without a key leaves every pair equal.
    EXPECT_EQ(compare(nine, ten, 0, 3), 0);
}

class ColumnSortTest : public DeviceListTest {
protected:
    void SetUp() override {
        DeviceListTest::SetUp();
        table_[0] = ConverterRecord("ZTL-BR720 b", 192, 168, 0, 10, 0x02);
        table_[1] = ConverterRecord("ZTL-BR720 C", 192, 168, 0, 9, 0x03);
        table_[2] = ConverterRecord("ZTL-BR720 a", 192, 168, 0, 100, 0x01);
        ASSERT_EQ(window().ListFill(table_, 3), 3);
    }
};

TEST_F(ColumnSortTest, FirstClickSortsDescendingWithTheDownArrowThenTheArrowMovesAndPointsUp) {
    EXPECT_EQ(ClickColumn(2), 0);
    EXPECT_EQ(Column(list(), 2),
              (std::vector<std::string>{"00:1a:2b:3c:4d:03", "00:1a:2b:3c:4d:02",
                                        "00:1a:2b:3c:4d:01"}));
    EXPECT_EQ(ArrowOf(list(), 2), 0);
    EXPECT_EQ(ArrowOf(list(), 0), -1);
    EXPECT_EQ(window().sortColumn(), 2);
    EXPECT_EQ(window().sortFlag(), 0);
    HWND header = reinterpret_cast<HWND>(SendMessageW(list(), LVM_GETHEADER, 0, 0));
    EXPECT_EQ(reinterpret_cast<HIMAGELIST>(SendMessageW(header, HDM_GETIMAGELIST, 0, 0)),
              window().sortArrows());

    ClickColumn(0);
    EXPECT_EQ(Column(list(), 0),
              (std::vector<std::string>{"ZTL-BR720 a", "ZTL-BR720 b", "ZTL-BR720 C"}));
    EXPECT_EQ(ArrowOf(list(), 0), 1);
    EXPECT_EQ(ArrowOf(list(), 2), -1);
    // The arrow bits leave the old column; its alignment stays.
    EXPECT_EQ(cstest::HeaderFormatOf(list(), 2) & 0x1800, 0);
    EXPECT_EQ(cstest::HeaderFormatOf(list(), 2) & HDF_JUSTIFYMASK, HDF_LEFT);
    EXPECT_EQ(window().sortColumn(), 0);
    EXPECT_EQ(window().sortFlag(), 1);
}

TEST_F(ColumnSortTest, TheDirectionAlternatesWithEveryClickOnTheSameColumn) {
    const std::vector<std::string> ascending{"192.168.0.9", "192.168.0.10", "192.168.0.100"};
    const std::vector<std::string> descending{"192.168.0.100", "192.168.0.10", "192.168.0.9"};
    ClickColumn(1);
    EXPECT_EQ(Column(list(), 1), descending);
    EXPECT_EQ(ArrowOf(list(), 1), 0);
    ClickColumn(1);
    EXPECT_EQ(Column(list(), 1), ascending);
    EXPECT_EQ(ArrowOf(list(), 1), 1);
    ClickColumn(1);
    EXPECT_EQ(Column(list(), 1), descending);
    EXPECT_EQ(ArrowOf(list(), 1), 0);
    for (int column = 0; column < 3; ++column) {
        if (column != 1) {
            EXPECT_EQ(ArrowOf(list(), column), -1) << column;
        }
    }
}

}  // namespace
