// The result window's converter list: which replies are listed, and how rows
// are inserted and sorted by column.
#include <mbstring.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "findings/model_filter.h"
#include "ui/result_window.h"

namespace ui {
namespace {

constexpr int kArrowBits = HDF_IMAGE | HDF_BITMAP_ON_RIGHT;  // 0x1800
constexpr int kArrowDown = 0;
constexpr int kArrowUp = 1;

// Sort key of one record in one column; every other column has the empty key.
void SortKey(const net::DeviceRecord& record, int column, char (&key)[net::kNameTextSize]) {
    const std::uint8_t* b = record.bytes;
    key[0] = '\0';
    switch (column) {
        case 0:
            net::ReadConverterName(record, key);
            break;
        case 1:
            // Three digits an octet: the text order is the numeric order.
            std::snprintf(key, sizeof key, "%03d%03d%03d%03d", b[net::kAddressOffset],
                          b[net::kAddressOffset + 1], b[net::kAddressOffset + 2],
                          b[net::kAddressOffset + 3]);
            break;
        case 2:
            std::snprintf(key, sizeof key, "%02x%02x%02x%02x%02x%02x", b[net::kMacOffset],
                          b[net::kMacOffset + 1], b[net::kMacOffset + 2], b[net::kMacOffset + 3],
                          b[net::kMacOffset + 4], b[net::kMacOffset + 5]);
            break;
        default:
            break;
    }
}

HWND HeaderOf(HWND list) {
    return reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
}

void ClearArrow(HWND header, int column) {
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    if (!SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(column),
                      reinterpret_cast<LPARAM>(&item))) {
        return;
    }
    item.fmt &= ~kArrowBits;
    SendMessageW(header, HDM_SETITEMW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&item));
}

void SetColumnText(HWND list, int row, int column, char* text) {
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = text;
    SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

int ResultWindow::ModelFilter(const char* name) { return findings::IsSupportedModel(name) ? 1 : 0; }

int ResultWindow::ListFill(net::DeviceRecord* table, int count, ListedRow* last) {
    int inserted = 0;
    for (int i = 0; i < count && i < net::kDeviceTableCapacity; ++i) {
        net::DeviceRecord& record = table[i];
        char name[net::kNameTextSize];
        net::ReadConverterName(record, name);
        if (!ModelFilter(name)) continue;

        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_PARAM;
        item.iItem = i;  // never below the rows already there: unsorted, it lands last
        item.pszText = name;
        item.lParam = reinterpret_cast<LPARAM>(&record);
        const LRESULT row =
            SendMessageA(deviceList_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item));
        if (row < 0) continue;

        char address[net::kAddressTextSize];
        net::FormatAddress(record, address);
        SetColumnText(deviceList_, static_cast<int>(row), 1, address);
        char mac[net::kMacTextSize];
        net::FormatMac(record, mac);
        SetColumnText(deviceList_, static_cast<int>(row), 2, mac);
        if (last) {
            std::memcpy(last->address, address, sizeof address);
            std::memcpy(last->mac, mac, sizeof mac);
            last->link = net::LinkOf(&record);
        }
        ++inserted;
    }
    return inserted;
}

int CALLBACK ResultWindow::SortCompare(LPARAM item1, LPARAM item2, LPARAM parameters) {
    const auto* sort = reinterpret_cast<const SortParameters*>(parameters);
    const auto* first = reinterpret_cast<const net::DeviceRecord*>(item1);
    const auto* second = reinterpret_cast<const net::DeviceRecord*>(item2);
    if (!sort || !first || !second) return 0;
    char firstKey[net::kNameTextSize];
    char secondKey[net::kNameTextSize];
    SortKey(*first, sort->column, firstKey);
    SortKey(*second, sort->column, secondKey);
    const int order = _mbsicmp(reinterpret_cast<const unsigned char*>(firstKey),
                               reinterpret_cast<const unsigned char*>(secondKey));
    return sort->sortFlag == 1 ? -order : order;
}

void ResultWindow::ColumnSort(NMHDR* header, LRESULT* result) {
    const int column = reinterpret_cast<NMLISTVIEW*>(header)->iSubItem;
    // Every row, with the direction as it is now
    SortParameters parameters{sortFlag_, column};
    SendMessageW(deviceList_, LVM_SORTITEMS, reinterpret_cast<WPARAM>(&parameters),
                 reinterpret_cast<LPARAM>(&ResultWindow::SortCompare));
    HWND headerControl = HeaderOf(deviceList_);
    // The arrow leaves the column that had it
    if (sortColumn_ != -1) ClearArrow(headerControl, sortColumn_);
    SendMessageW(headerControl, HDM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(sortArrows_.get()));
    // Down for descending, up for ascending
    HDITEMW item{};
    item.mask = HDI_FORMAT;
    SendMessageW(headerControl, HDM_GETITEMW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&item));
    item.mask = HDI_FORMAT | HDI_IMAGE;
    item.fmt |= kArrowBits;
    item.iImage = sortFlag_ == 1 ? kArrowDown : kArrowUp;
    SendMessageW(headerControl, HDM_SETITEMW, static_cast<WPARAM>(column),
                 reinterpret_cast<LPARAM>(&item));
    // One direction for all columns, alternating with every click
    sortColumn_ = column;
    sortFlag_ = sortFlag_ == 1 ? 0 : 1;
    *result = 0;
}

void ResultWindow::RemoveSortArrow() {
    const int column = sortColumn_;
    if (column != -1) ClearArrow(HeaderOf(deviceList_), column);
}

}  // namespace ui
