// Fuzzes the scan and the assign exchange with whatever the network, the PC
// and the user can hand them through the scripted port: datagrams of any
// length, content, sender port and timing, socket failures at any call,
// interface lists of any size, address and MAC texts of any content. The
// checks hold for every input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "net/datagram.h"
#include "net/discovery_client.h"
#include "net/exchange.h"
#include "net/scan_report.h"
#include "tests/host/net/scripted_port.h"

namespace {

using namespace net;
using Bytes = std::vector<std::uint8_t>;

#define CHECK(c) \
    ((c) ? (void)0 : (std::fprintf(stderr, "check failed: %s (line %d)\n", #c, __LINE__), std::abort()))

// Failures are rare, so that most inputs reach the exchange itself; a 0 error
// is a port that forgot its error number.
void Arrange(FuzzedDataProvider& in, fake::ScriptedPort& port, Operation replyCode) {
    const auto rarely = [&in] { return in.ConsumeIntegralInRange<int>(0, 15) == 0; };
    const auto error = [&in] { return in.PickValueInArray({10065, 10051, 10040, 10014, 0}); };
    for (int* step : {&port.startupResult, &port.openError, &port.broadcastError,
                      &port.listError, &port.bindError}) {
        if (rarely()) *step = error() + 1;
    }
    if (rarely()) port.sendErrors[in.ConsumeIntegralInRange<std::size_t>(0, 2)] = error();
    port.hostKnown = !rarely();
    port.interfaces.resize(in.ConsumeIntegralInRange<std::size_t>(0, rarely() ? 900 : 12));
    for (InterfaceEntry& entry : port.interfaces) {
        entry = {in.ConsumeIntegralInRange<std::uint32_t>(0, 0x1F),
                 in.ConsumeIntegral<std::uint32_t>(), in.ConsumeIntegral<std::uint32_t>()};
    }
    if (!port.interfaces.empty()) {  // the PC's own address is on one of them
        port.hostAddress = port.interfaces[in.ConsumeIntegralInRange<std::size_t>(
                                               0, port.interfaces.size() - 1)].address;
    }
    while (in.remaining_bytes() > 0 && port.inbound.size() < 400) {
        const int kind = in.ConsumeIntegralInRange<int>(0, 15);
        if (kind < 2) {
            port.inbound.push_back(kind == 0 ? fake::Silence() : fake::WaitFails(error()));
            continue;
        }
        const std::size_t length = in.ConsumeIntegralInRange<int>(0, 7) == 0
                                       ? in.ConsumeIntegralInRange<std::size_t>(0, 232)
                                       : kDatagramSize;
        Bytes bytes;
        if (kind < 8 && !port.inbound.empty()) {  // the last one again, another name: cheap floods
            bytes = port.inbound.back().bytes;
            if (bytes.size() > kNameOffset) bytes[kNameOffset] = in.ConsumeIntegral<std::uint8_t>();
        } else {
            bytes = in.ConsumeBytes<std::uint8_t>(length);
            bytes.resize(length, 0);
        }
        if (bytes.size() >= 2 && in.ConsumeIntegralInRange<int>(0, 3) != 0) {
            bytes[0] = 1;  // mostly well-formed headers, so that acceptance is passed often
            bytes[1] = replyCode;
        }
        const std::uint16_t from =
            in.ConsumeIntegralInRange<int>(0, 7) == 0 ? in.ConsumeIntegral<std::uint16_t>() : 192;
        const auto delay = in.ConsumeIntegralInRange<std::uint32_t>(0, 1500);
        port.inbound.push_back(kind == 2 ? fake::ReceiveFails(error(), bytes)
                                         : fake::Arrives(bytes, delay, from));
    }
}

// What every exchange leaves: everything released, the records all accepted
// replies (distinct ones from a scan) whose names end within the datagram, at
// most three requests, alike and within three cycles of at most ten seconds.
void CheckExchange(const fake::ScriptedPort& port, Operation replyCode) {
    if (!port.Balanced()) std::fprintf(stderr, "%s\n", port.Report().c_str());
    CHECK(port.Balanced() && g_scanState.running.load() == 0);
    CHECK(g_scanState.count >= 0 && g_scanState.count <= kDeviceTableCapacity);
    for (int i = 0; i < g_scanState.count; ++i) {
        CHECK(AcceptReply(g_deviceTable[i].bytes, kDatagramSize, kConverterPort, replyCode));
        char name[kNameTextSize];
        ReadConverterName(g_deviceTable[i], name);
        CHECK(std::memcmp(name, g_deviceTable[i].bytes + kNameOffset, std::strlen(name)) == 0);
        // Two records of one name are two converters: heard on two links, with two MACs.
        for (int j = 0; replyCode == kDiscoveryReply && j < i; ++j) {
            CHECK(!SameIdentity(g_deviceTable[i].bytes, g_deviceTable[j].bytes) ||
                  std::memcmp(g_deviceTable[i].bytes + kMacOffset,
                              g_deviceTable[j].bytes + kMacOffset, kMacLength) != 0);
        }
    }
    for (int i = 0; replyCode == kDiscoveryReply && i < g_scanReport.linkCount; ++i) {
        const LinkReport& link = g_scanReport.links[i];
        CHECK(link.received == link.accepted + link.dropped);
    }
    std::map<std::uint32_t, int> sendsThrough;
    for (const auto& s : port.sent) {
        CHECK(s.bytes == port.sent[0].bytes && s.address == 0xFFFFFFFFu);
        CHECK(++sendsThrough[s.from] <= 3);
    }
    CHECK(port.nowMs <= 3 * 10000 + 1000);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::memset(g_deviceTable, 0, sizeof g_deviceTable);
    g_scanState.running.store(0);
    g_scanState.lastError = 0;
    g_scanState.count = 0;
    std::memset(&g_probeResult, 0, sizeof g_probeResult);
    g_scanReport.linkCount = 0;
    FuzzedDataProvider in(data, size);
    const Operation reply = in.ConsumeBool() ? kDiscoveryReply : kAssignReply;
    const std::string address = in.ConsumeRandomLengthString(24);
    const std::string mac = in.ConsumeRandomLengthString(24);
    const auto linkPick = in.ConsumeIntegral<std::uint16_t>();
    fake::ScriptedPort port;
    Arrange(in, port, reply);
    SetActivePort(&port);
    std::int32_t status = -7;
    std::int32_t count = -7;
    int result;
    if (reply == kDiscoveryReply) {
        DiscoveryClient().ScanStart(&status);
        result = DiscoveryClient().ScanPoll(&status, &count);
    } else {
        // Half the exchanges go through a link the scan heard a converter on.
        Link link;
        if (!port.interfaces.empty() && linkPick % 2 == 1) {
            const InterfaceEntry& entry = port.interfaces[linkPick / 2 % port.interfaces.size()];
            link = Link{true, entry.address, entry.netmask};
        }
        result = DiscoveryClient().AssignExchange(address.c_str(), mac.c_str(), link);
    }
    SetActivePort(nullptr);
    CheckExchange(port, reply);
    if (reply == kDiscoveryReply) {
        CHECK(result == 0 ? status == 0 && count == g_scanState.count && count >= 1
                          : status != 0 && count == (status == kErrTimedOut ? 0 : -7) &&
                                (result == kErrHostUnreachable) == (status == kErrHostUnreachable));
        // A scan that ended by itself searched every link no failure left out to its last cycle.
        for (int i = 0; i < g_scanReport.linkCount; ++i) {
            const LinkReport& link = g_scanReport.links[i];
            CHECK((status != 0 && status != kErrTimedOut) || link.sendError || link.receiveError ||
                  link.cycles == kExchangeCycles);
        }
    } else {  // the scan's probe result stays as it was
        CHECK((result == 0 || (result == 1 && g_scanState.count >= 1)) && !g_probeResult.address[0]);
    }
    return 0;
}
