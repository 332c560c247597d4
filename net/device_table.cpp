#include "net/device_table.h"

#include <cstdio>
#include <cstring>

namespace net {

DeviceRecord g_deviceTable[kDeviceTableCapacity];
ScanState g_scanState;
ProbeResult g_probeResult;
Link g_recordLinks[kDeviceTableCapacity];

Link LinkOf(const DeviceRecord* record) {
    // Compared as addresses, not by pointer arithmetic: a row's item data may
    // point anywhere.
    const auto at = reinterpret_cast<std::uintptr_t>(record);
    const auto first = reinterpret_cast<std::uintptr_t>(&g_deviceTable[0]);
    if (at < first || (at - first) % sizeof(DeviceRecord) != 0 ||
        (at - first) / sizeof(DeviceRecord) >= static_cast<std::uintptr_t>(kDeviceTableCapacity)) {
        return Link{};
    }
    return g_recordLinks[(at - first) / sizeof(DeviceRecord)];
}

void StoreRecord(int index, const std::uint8_t* reply, const Link& link) {
    std::memcpy(g_deviceTable[index].bytes, reply, kDatagramSize);
    g_recordLinks[index] = link;
}

void ReadConverterName(const DeviceRecord& record, char (&name)[kNameTextSize]) {
    // A converter may fill all 68 bytes without a terminator: stop at the
    // datagram's end rather than run on into the next record.
    std::size_t length = 0;
    while (length < kNameLength && record.bytes[kNameOffset + length] != 0) {
        name[length] = static_cast<char>(record.bytes[kNameOffset + length]);
        ++length;
    }
    name[length] = '\0';
}

void FormatAddress(const DeviceRecord& record, char (&text)[kAddressTextSize]) {
    const std::uint8_t* a = record.bytes + kAddressOffset;
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", a[0], a[1], a[2], a[3]);
}

void FormatMac(const DeviceRecord& record, char (&text)[kMacTextSize]) {
    const std::uint8_t* m = record.bytes + kMacOffset;
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", m[0], m[1], m[2], m[3],
                  m[4], m[5]);
}

}  // namespace net
