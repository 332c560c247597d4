// Fuzzes the protocol core with whatever the network, the PC and the user can
// hand it: datagrams of any length, content, sender port and timing, socket
// failures at any call, interface lists of any size and shape, and address and
// MAC texts of any content. The scripted port plays the input; the checks
// below hold for every input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "net/address_text.h"
#include "net/datagram.h"
#include "net/device_table.h"
#include "net/discovery_client.h"
#include "tests/host/net/scripted_port.h"

namespace {

using namespace net;
using net::fake::Inbound;
using net::fake::ScriptedPort;

#define FUZZ_CHECK(condition)                                                             \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "check failed: %s (%s:%d)\n", #condition, __FILE__,      \
                         __LINE__);                                                       \
            std::abort();                                                                 \
        }                                                                                 \
    } while (0)

constexpr std::size_t kMaxInbound = 400;

void ResetProtocolState() {
    std::memset(g_deviceTable, 0, sizeof g_deviceTable);
    g_scanState.running.store(0);
    g_scanState.lastError = 0;
    g_scanState.count = 0;
    std::memset(&g_probeResult, 0, sizeof g_probeResult);
}

int SomeError(FuzzedDataProvider& in) {
    static constexpr int kErrors[] = {kErrHostUnreachable, kErrNetUnreachable, kErrTimedOut,
                                      kErrMessageSize,     kErrFault,          10054,
                                      10038,               0};
    return in.PickValueInArray(kErrors);  // 0: a port that forgot its error number
}

std::uint32_t SomeAddress(FuzzedDataProvider& in) {
    static constexpr std::uint32_t kShapes[] = {0, 0xFFFFFFFFu};
    return in.ConsumeBool() ? in.PickValueInArray(kShapes) : in.ConsumeIntegral<std::uint32_t>();
}

void ArrangePort(FuzzedDataProvider& in, ScriptedPort& port) {
    // Each failure is rare, so that most inputs reach the exchange itself.
    const auto rarely = [&in] { return in.ConsumeIntegralInRange<int>(0, 15) == 0; };
    if (rarely()) port.startupResult = in.ConsumeIntegralInRange<int>(1, 11000);
    if (rarely()) port.openError = SomeError(in);
    if (rarely()) port.broadcastError = SomeError(in);
    if (rarely()) port.listError = SomeError(in);
    if (rarely()) port.bindError = SomeError(in);
    if (rarely()) port.sendErrors[in.ConsumeIntegralInRange<std::size_t>(0, 2)] = SomeError(in);
    port.hostKnown = !rarely();

    std::size_t entries = in.ConsumeIntegralInRange<std::size_t>(0, 12);
    if (rarely()) entries = in.ConsumeIntegralInRange<std::size_t>(0, 900);
    for (std::size_t i = 0; i < entries; ++i) {
        InterfaceEntry entry;
        entry.flags = in.ConsumeIntegralInRange<std::uint32_t>(0, 0x1F);
        entry.address = SomeAddress(in);
        entry.netmask = SomeAddress(in);
        port.interfaces.push_back(entry);
    }
    port.hostAddress = (!port.interfaces.empty() && in.ConsumeBool())
                           ? port.interfaces[in.ConsumeIntegralInRange<std::size_t>(
                                                 0, port.interfaces.size() - 1)]
                                 .address
                           : SomeAddress(in);
}

void ArrangeInbound(FuzzedDataProvider& in, ScriptedPort& port, Operation replyCode) {
    while (in.remaining_bytes() > 0 && port.inbound.size() < kMaxInbound) {
        const int kind = in.ConsumeIntegralInRange<int>(0, 15);
        if (kind == 0) {
            port.inbound.push_back(net::fake::Silence());
            continue;
        }
        if (kind == 1) {
            port.inbound.push_back(net::fake::WaitFails(SomeError(in)));
            continue;
        }
        std::size_t length = kDatagramSize;
        if (in.ConsumeIntegralInRange<int>(0, 7) == 0) {
            length = in.ConsumeIntegralInRange<std::size_t>(0, 2 * kDatagramSize);
        }
        std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(length);
        bytes.resize(length, 0);
        // Mostly well-formed headers, so that acceptance is passed often.
        if (length >= 2 && in.ConsumeIntegralInRange<int>(0, 3) != 0) {
            bytes[0] = 1;
            bytes[1] = replyCode;
        }
        if (kind == 2) {
            port.inbound.push_back(net::fake::ReceiveFails(SomeError(in), bytes));
            continue;
        }
        const std::uint16_t sender = in.ConsumeIntegralInRange<int>(0, 7) == 0
                                         ? in.ConsumeIntegral<std::uint16_t>()
                                         : kConverterPort;
        port.inbound.push_back(
            net::fake::Arrives(bytes, in.ConsumeIntegralInRange<std::uint32_t>(0, 1500), sender));
    }
}

void CheckCommon(const ScriptedPort& port) {
    if (!port.Balanced()) {
        std::fprintf(stderr, "%s\n", port.Report().c_str());
    }
    FUZZ_CHECK(port.Balanced());
    FUZZ_CHECK(g_scanState.running.load() == 0);
    FUZZ_CHECK(g_scanState.count >= 0 && g_scanState.count <= kDeviceTableCapacity);
    FUZZ_CHECK(port.sent.size() <= 3);
    for (const auto& sent : port.sent) {
        FUZZ_CHECK(sent.bytes.size() == kDatagramSize);
        FUZZ_CHECK(sent.bytes == port.sent.front().bytes);
        FUZZ_CHECK(sent.address == 0xFFFFFFFFu);
    }
    // No cycle may outlast its upper bound: three cycles of ten seconds.
    FUZZ_CHECK(port.nowMs <= 3 * 10000 + 1000);
    FUZZ_CHECK(std::memchr(g_probeResult.address, 0, kAddressTextSize) != nullptr);
    FUZZ_CHECK(std::memchr(g_probeResult.netmask, 0, kAddressTextSize) != nullptr);
}

void FuzzScan(FuzzedDataProvider& in) {
    ScriptedPort port;
    SetActivePort(&port);
    ArrangePort(in, port);
    ArrangeInbound(in, port, kDiscoveryReply);
    DiscoveryClient client;
    std::int32_t status = -7;
    FUZZ_CHECK(client.ScanStart(&status) == 1);
    std::int32_t count = -7;
    const int result = client.ScanPoll(&status, &count);
    SetActivePort(nullptr);
    CheckCommon(port);

    FUZZ_CHECK(result == 0 || result == -1 || result == kErrHostUnreachable);
    if (result == 0) {
        FUZZ_CHECK(status == 0 && count >= 1 && count <= kDeviceTableCapacity);
        for (int i = 0; i < count; ++i) {
            const DeviceRecord& r = (&client.DeviceTable())[i];
            FUZZ_CHECK(AcceptReply(r.bytes, kDatagramSize, kConverterPort, kDiscoveryReply));
            for (int j = 0; j < i; ++j) {
                FUZZ_CHECK(!SameIdentity(r.bytes, g_deviceTable[j].bytes));
            }
            char name[kNameTextSize];
            ReadConverterName(r, name);
            FUZZ_CHECK(std::strlen(name) <= kNameLength);
        }
    } else if (result == kErrHostUnreachable) {
        FUZZ_CHECK(status == kErrHostUnreachable && count == -7);
    } else {
        FUZZ_CHECK(status != 0 && status != kErrHostUnreachable);
        FUZZ_CHECK(count == (status == kErrTimedOut && g_scanState.lastError == 0 ? 0 : -7));
    }
    if (!port.sent.empty()) {
        std::vector<std::uint8_t> request(kDatagramSize, 0);
        request[0] = 1;
        FUZZ_CHECK(port.sent.front().bytes == request);
    }
}

void FuzzAssign(FuzzedDataProvider& in) {
    ScriptedPort port;
    SetActivePort(&port);
    const std::string address = in.ConsumeRandomLengthString(24);
    const std::string mac = in.ConsumeRandomLengthString(24);
    ArrangePort(in, port);
    ArrangeInbound(in, port, kAssignReply);
    DiscoveryClient client;
    char probeBefore[sizeof g_probeResult];
    std::memcpy(probeBefore, &g_probeResult, sizeof probeBefore);
    const int result = client.AssignExchange(address.c_str(), mac.c_str());
    SetActivePort(nullptr);
    CheckCommon(port);

    FUZZ_CHECK(result == 0 || result == 1);
    FUZZ_CHECK(std::memcmp(probeBefore, &g_probeResult, sizeof probeBefore) == 0);
    if (result == 1) {
        FUZZ_CHECK(g_scanState.count >= 1);
    }
    for (int i = 0; i < g_scanState.count; ++i) {
        FUZZ_CHECK(AcceptReply(g_deviceTable[i].bytes, kDatagramSize, kConverterPort,
                               kAssignReply));
    }
    if (!port.sent.empty()) {
        const std::vector<std::uint8_t>& request = port.sent.front().bytes;
        FUZZ_CHECK(request[0] == 1 && request[1] == kAssignRequest);
        FUZZ_CHECK(std::memcmp(request.data() + kAccessWordOffset, "ladder", 6) == 0);
        std::uint8_t parsed[kMacLength];
        ParseMacText(mac.c_str(), parsed);
        FUZZ_CHECK(std::memcmp(request.data() + kMacOffset, parsed, kMacLength) == 0);
        FUZZ_CHECK(AddressFromBytes(request.data() + kAddressOffset) == InetAddr(address.c_str()));
        for (std::size_t i = 0; i < kDatagramSize; ++i) {
            const bool field = i <= 1 || (i >= kAccessWordOffset && i < kAccessWordOffset + 6) ||
                               (i >= kMacOffset && i < kMacOffset + 6) ||
                               (i >= kAddressOffset && i < kAddressOffset + 4);
            FUZZ_CHECK(field || request[i] == 0);
        }
    }
}

void CheckAddressText(const char (&text)[kAddressTextSize + 4], const char* marker) {
    FUZZ_CHECK(std::memchr(text, 0, kAddressTextSize) != nullptr);
    FUZZ_CHECK(std::strcmp(text + kAddressTextSize, "end") == 0);  // nothing written past 20
    if (std::strcmp(text, marker) != 0) {
        char again[kAddressTextSize];
        FormatInAddr(InetAddr(text), again);
        FUZZ_CHECK(std::strcmp(again, text) == 0);
    }
}

void FuzzSubnet(FuzzedDataProvider& in) {
    ScriptedPort port;
    SetActivePort(&port);
    const bool withTarget = in.ConsumeBool();
    const std::string target = in.ConsumeRandomLengthString(24);
    ArrangePort(in, port);
    char address[kAddressTextSize + 4] = "marker";
    char netmask[kAddressTextSize + 4] = "marker";
    std::memcpy(address + kAddressTextSize, "end", 4);
    std::memcpy(netmask + kAddressTextSize, "end", 4);
    DiscoveryClient client;
    const int result = client.SubnetTest(address, netmask, withTarget ? target.c_str() : nullptr);
    SetActivePort(nullptr);
    CheckCommon(port);
    FUZZ_CHECK(port.sent.empty());
    FUZZ_CHECK(result == -1 || result == 0 || result == 1);
    FUZZ_CHECK(result == 0 || result == -1 || withTarget);
    CheckAddressText(address, "marker");
    CheckAddressText(netmask, "marker");
    if (result == -1) {
        FUZZ_CHECK(std::strcmp(address, "marker") == 0 && std::strcmp(netmask, "marker") == 0);
    }
    if (result == 1) {
        const std::uint32_t a = InetAddr(address);
        const std::uint32_t m = InetAddr(netmask);
        const std::uint32_t t = InetAddr(target.c_str());
        FUZZ_CHECK((m & a) == (m & t));
    }
}

void FuzzTexts(FuzzedDataProvider& in) {
    const std::string text = in.ConsumeRandomLengthString(40);
    const std::uint32_t value = InetAddr(text.c_str());
    char formatted[kAddressTextSize];
    FormatInAddr(value, formatted);
    FUZZ_CHECK(InetAddr(formatted) == value);

    std::uint8_t mac[kMacLength];
    ParseMacText(text.c_str(), mac);
    DeviceRecord record = {};
    std::memcpy(record.bytes + kMacOffset, mac, kMacLength);
    char macText[kMacTextSize];
    FormatMac(record, macText);
    std::uint8_t again[kMacLength];
    ParseMacText(macText, again);
    FUZZ_CHECK(std::memcmp(mac, again, kMacLength) == 0);

    const std::vector<std::uint8_t> bytes = in.ConsumeBytes<std::uint8_t>(kDatagramSize);
    if (!bytes.empty()) {
        std::memcpy(record.bytes, bytes.data(), bytes.size());
    }
    char name[kNameTextSize];
    ReadConverterName(record, name);
    std::size_t expected = 0;
    while (expected < kNameLength && record.bytes[kNameOffset + expected] != 0) ++expected;
    FUZZ_CHECK(std::strlen(name) == expected);
    char address[kAddressTextSize];
    FormatAddress(record, address);
    FUZZ_CHECK(AddressFromBytes(record.bytes + kAddressOffset) == InetAddr(address));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ResetProtocolState();
    FuzzedDataProvider in(data, size);
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        FuzzScan(in);
        break;
    case 1:
        FuzzAssign(in);
        break;
    case 2:
        FuzzSubnet(in);
        break;
    default:
        FuzzTexts(in);
        break;
    }
    return 0;
}
