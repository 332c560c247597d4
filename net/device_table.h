// The shared memory of the discovery protocol: the 116-byte datagram layout,
// the DeviceTable of accepted replies, the ScanState a scan reports through,
// and the probe result (the PC's own address and netmask texts).
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>

namespace net {

constexpr std::size_t kDatagramSize = 116;
constexpr int kDeviceTableCapacity = 64;
constexpr std::uint16_t kConverterPort = 192;

// Byte offsets inside a datagram.
constexpr std::size_t kProtocolOffset = 0;
constexpr std::size_t kOperationOffset = 1;
constexpr std::size_t kStatusOffset = 2;
constexpr std::size_t kAccessWordOffset = 4;
constexpr std::size_t kMacOffset = 36;
constexpr std::size_t kAddressOffset = 44;
constexpr std::size_t kNameOffset = 48;
constexpr std::size_t kNameLength = 68;      // bytes 48..115
constexpr std::size_t kIdentityLength = 32;  // bytes 48..79 tell converters apart

enum Operation : std::uint8_t {
    kDiscoveryRequest = 0,
    kDiscoveryReply = 1,
    kAssignRequest = 2,
    kAssignReply = 3,
};

// One accepted reply, stored whole as received.
struct DeviceRecord {
    std::uint8_t bytes[kDatagramSize];
};

struct ScanState {
    std::atomic<std::int32_t> running{0};  // the hand-over point: release / acquire
    std::int32_t lastError = 0;
    std::int32_t count = 0;
};

// Text sizes: a dotted quad needs 16 bytes, the probe texts keep room for 20.
constexpr std::size_t kAddressTextSize = 20;
constexpr std::size_t kMacTextSize = 18;
constexpr std::size_t kNameTextSize = kNameLength + 1;

struct ProbeResult {
    char address[kAddressTextSize];
    char netmask[kAddressTextSize];
};

// One of the PC's links: the address and netmask (network order) of the
// interface whose socket heard a reply. Unknown where the exchange had no link
// to bind to and went out through one unbound socket.
struct Link {
    bool known = false;
    std::uint32_t address = 0;
    std::uint32_t netmask = 0;
};

// Process-wide, static storage, never moved: list rows point into the table.
extern DeviceRecord g_deviceTable[kDeviceTableCapacity];
// The link that heard each record, at the record's index; written with the
// record, so the running flag's release publishes both.
extern Link g_recordLinks[kDeviceTableCapacity];
extern ScanState g_scanState;
extern ProbeResult g_probeResult;

// How many records a finished scan's count lets a caller read: a count above
// the table's size cannot come from the table and is read as one below it,
// as the flows have always read it; below zero, none.
constexpr int RecordsToRead(std::int32_t count) {
    return count > kDeviceTableCapacity ? kDeviceTableCapacity - 1 : count < 0 ? 0 : count;
}

// The link beside a record of the table; unknown for anything else.
Link LinkOf(const DeviceRecord* record);
// Stores a reply at index of the table with the link that heard it.
void StoreRecord(int index, const std::uint8_t* reply, const Link& link);

// The converter name: bytes 48..115 up to the first NUL, always terminated.
// Every reader (filter, list, sort) goes through here.
void ReadConverterName(const DeviceRecord& record, char (&name)[kNameTextSize]);
// "%d.%d.%d.%d" of bytes 44..47.
void FormatAddress(const DeviceRecord& record, char (&text)[kAddressTextSize]);
// "%02x:%02x:%02x:%02x:%02x:%02x" of bytes 36..41.
void FormatMac(const DeviceRecord& record, char (&text)[kMacTextSize]);

}  // namespace net
