// The protocol core through the scripted port, one row per case: what goes on
// the wire and when, which replies are kept, how every failing socket call
// ends an exchange and what it releases, what the callers are told; the
// interface list, the PC's own address and the subnet test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/address_text.h"
#include "net/discovery_client.h"
#include "net/interface_probe.h"
#include "tests/host/net/scripted_port.h"

namespace net {
bool operator==(const InterfaceEntry& a, const InterfaceEntry& b) {
    return a.flags == b.flags && a.address == b.address && a.netmask == b.netmask;
}

namespace fake {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Script = std::vector<Inbound>;
using Names = std::vector<std::string>;
using Times = std::vector<std::uint64_t>;
using Entries = std::vector<InterfaceEntry>;

constexpr std::int32_t kUntouched = -12345;
constexpr std::uint32_t kEthernet = kIffUp | kIffBroadcast | kIffMulticast;
const std::uint32_t kPc = Ip(192, 168, 0, 2);
const std::uint32_t k24 = Ip(255, 255, 255, 0);
const InterfaceEntry kEthernetEntry = {kEthernet, kPc, k24};
// Exactly the flags Windows gives its loopback entry.
const InterfaceEntry kLoopbackEntry = {0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)};
const std::string k32 = std::string(32, 'A');  // as long as the identity, bytes 48..79

// The protocol's process-wide state at its start values, and a PC with one
// Ethernet interface and the loopback entry, the row's inbound script and
// change: the active port while it lives.
struct Pc {
    explicit Pc(const Script& script = {}, Arrange arrange = nullptr) {
        std::memset(g_deviceTable, 0, sizeof g_deviceTable);
        g_scanState.running.store(0);
        g_scanState.lastError = 0;
        g_scanState.count = 0;
        std::strcpy(g_probeResult.address, "10.0.0.1");  // the PC's texts, as a scan before left them
        std::strcpy(g_probeResult.netmask, "255.0.0.0");
        g_scanReport.linkCount = 1;  // a scan before, through a link long gone
        g_scanReport.links[0] = {{true, Ip(10, 9, 9, 9), k24}, 0, 0, 1, 1, 0, 3};
        port.interfaces = {kEthernetEntry, kLoopbackEntry};
        port.hostAddress = kPc;
        port.inbound.assign(script.begin(), script.end());
        if (arrange) arrange(port);
        SetActivePort(&port);
    }
    ~Pc() {
        port.JoinThread();
        SetActivePort(nullptr);
    }
    ScriptedPort port;
    DiscoveryClient client;
};

Inbound Named(const std::string& name, std::uint32_t delayMs = 0, std::uint16_t from = 192) {
    return Arrives(DiscoveryReply(name), delayMs, from);
}

Inbound Status(std::uint16_t status, std::uint32_t delayMs = 0, std::uint16_t from = 192) {
    return Arrives(AssignReply(status), delayMs, from);
}

Names Units(int count) {
    Names names;
    for (int i = 0; i < count; ++i) names.push_back("unit " + std::to_string(i));
    return names;
}

Script Answering(const Names& names) {
    Script all;
    for (const std::string& name : names) all.push_back(Named(name));
    return all;
}

// The bytes with one changed; a value above 255 cuts them short there instead.
Bytes With(Bytes bytes, std::size_t index, unsigned value) {
    if (value > 0xFF) bytes.resize(index);
    if (value <= 0xFF) bytes[index] = static_cast<std::uint8_t>(value);
    return bytes;
}

// A laptop: a wired link listed first, an office link, the loopback entry.
const std::uint32_t kOffice = Ip(172, 20, 0, 2);
const InterfaceEntry kOfficeEntry = {kEthernet, kOffice, k24};
const Entries kLaptopLinks = {kEthernetEntry, kOfficeEntry};
const Entries kLaptop = {kEthernetEntry, kOfficeEntry, kLoopbackEntry};
const Link kOfficeLink = {true, kOffice, k24};
// The office link listed first, and a third link between it and the cable.
const std::uint32_t kLab = Ip(10, 1, 0, 2);
const Entries kOfficeFirst = {kOfficeEntry, kEthernetEntry, kLoopbackEntry};
const Entries kThreeLinks = {kOfficeEntry, {kEthernet, kLab, k24}, kEthernetEntry};

// What happened on a link other than the PC's wired one gets "@link"; "-"
// stands for the one unbound socket.
std::string On(std::string what, std::uint32_t link) {
    return link == kPc ? what : what + "@" + (link != 0 ? Dotted(link) : "-");
}

// When each request left, and through which link; each must be `request` to
// 255.255.255.255:192.
Names Sends(const ScriptedPort& port, const Bytes& request) {
    Names sends;
    for (const SentDatagram& d : port.sent) {
        EXPECT_EQ(request, d.bytes);
        EXPECT_EQ(0xFFFFFFFFu, d.address);
        const auto* p = reinterpret_cast<const std::uint8_t*>(&d.port);
        EXPECT_EQ(Bytes({0x00, 0xC0}), Bytes(p, p + 2));
        sends.push_back(On(std::to_string(d.atMs), d.from));
    }
    return sends;
}

// Each link's send at the start of each cycle.
Names EveryCycle(const Entries& links, const Times& cycles = {0, 1000, 2000}) {
    Names sends;
    for (const std::uint64_t at : cycles) {
        for (const InterfaceEntry& link : links) sends.push_back(On(std::to_string(at), link.address));
    }
    return sends;
}
const Names kSilent = EveryCycle({kEthernetEntry});
const Names kUnbound = {"0@-", "1000@-", "2000@-"};  // through the one unbound socket

// count Ethernet links, 10.i.0.2/24.
Entries Links(int count) {
    Entries links;
    for (int i = 0; i < count; ++i) links.push_back({kEthernet, Ip(10, i, 0, 2), k24});
    return links;
}

// A laptop with five up adapters, each in a subnet of its own size: Wi-Fi, a
// virtual machine host's adapter, a dock, a VPN, and the cable with a
// self-assigned address.
const std::uint32_t kCable = Ip(169, 254, 7, 7);
const Entries kFiveLinks = {{kEthernet, Ip(10, 10, 0, 5), Ip(255, 255, 254, 0)},
                            {kEthernet, Ip(192, 168, 56, 1), k24},
                            {kEthernet, Ip(10, 20, 0, 3), Ip(255, 255, 255, 128)},
                            {kEthernet, Ip(10, 8, 0, 2), Ip(255, 255, 255, 252)},
                            {kEthernet, kCable, Ip(255, 255, 0, 0)}};
// Overlapping subnets: a /16 cable and a /24 office link inside it.
const std::uint32_t kWide = Ip(10, 1, 0, 2);
const Entries kOverlapping = {{kEthernet, kWide, Ip(255, 255, 0, 0)}, {kEthernet, Ip(10, 1, 5, 2), k24}};

#define ON(links) [](ScriptedPort& p) { p.interfaces = links; }

// Each record of the table is read with ReadConverterName, so a name of 68
// bytes without a NUL shows if it runs into the next record.
const struct ScanRow {
    const char* what;
    Script script;
    Arrange arrange;  // nullptr: the PC with its one wired link as it is
    int result;
    std::int32_t status;
    std::int32_t count;  // kUntouched: not written
    Names kept;          // the records, whatever the result, with the link that heard each
    Names sends;
    // "link sendError/receiveError received/accepted/dropped cycles"; "none"
    // for no report at all; empty: unchecked
    Names reports = {};
    // The PC's address/netmask texts after the scan: those of the first up,
    // not loopback entry of the host's address (never 0.0.0.0) with a mask of
    // a subnet; nullptr: unchecked.
    const char* probe = nullptr;
} kScanRows[] = {
    {"nothing answers", {}, nullptr, -1, kErrTimedOut, 0, {}, kSilent, {"192.168.0.2 0/0 0/0/0 3"}},
    {"names end at a NUL or after 68 bytes",
     {Named(std::string(68, 'N')), Named(std::string("Z\0junk", 6))}, nullptr, 0, 0, 2,
     {std::string(68, 'N'), "Z"}, kSilent},
    {"of equal bytes 48..79 the first wins, whatever its MAC; byte 79 tells apart",
     {Named(k32 + "1"), Arrives(DiscoveryReply(k32 + "2", Ip(192, 168, 0, 50), 0x5F)), Named(k32.substr(1) + "B")},
     nullptr, 0, 0, 2, {k32 + "1", k32.substr(1) + "B"}, kSilent},
    {"each dropped datagram restarts the silent second",
     {Arrives(With(DiscoveryReply("short"), 115, 256), 500), Named("port", 500, 193),
      Arrives(With(DiscoveryReply("proto"), 0, 2), 500), Arrives(With(DiscoveryReply("op"), 1, 3), 500)},
     nullptr, -1, kErrTimedOut, 0, {}, {"0", "3000", "4000"}, {"192.168.0.2 0/0 4/0/4 3"}},
    {"a chatty sender is cut off 10 s after each request", Repeat(100, Named("Z", 500)),
     nullptr, 0, 0, 1, {"Z"}, {"0", "10000", "20000"}},
    {"the ceiling shortens the last wait", Repeat(10, Named("a", 999), {Named("b", 500)}),
     nullptr, 0, 0, 2, {"a", "b"}, {"0", "10000", "11490"}},
    {"a receive overrunning the ceiling ends the cycle",
     Repeat(10, Named("a", 999), {Named("b", 200)}), ARRANGE(inbound[9].receiveMs = 30), 0, 0,
     2, {"a", "b"}, {"0", "10020", "11220"}},
    {"64 of 70 are kept", Answering(Units(70)), nullptr, 0, 0, 64, Units(64), kSilent},
    {"117 bytes fail the scan", {Named("kept"), Arrives(Bytes(117, 1))}, nullptr, -1,
     kErrMessageSize, kUntouched, {"kept"}, {"0"}, {"192.168.0.2 0/10040 1/1/0 0"}},
    {"a failed receive", {Named("A"), Silence(), ReceiveFails(10054)}, nullptr, -1, 10054,
     kUntouched, {"A"}, {"0", "1000"}},
    {"no library", {}, ARRANGE(startupResult = 10091), -1, 10091, kUntouched, {}, {}},
    {"no socket", {}, ARRANGE(openError = 10047), -1, 10047, kUntouched, {}, {}},
    {"no broadcast", {}, ARRANGE(broadcastError = 10042), -1, 10042, kUntouched, {}, {}},
    {"no interface list", {}, ARRANGE(listError = 10022), -1, 10022, kUntouched, {}, {}},
    {"no bind", {}, ARRANGE(bindError = 10048), -1, 10048, kUntouched, {}, {},
     {"192.168.0.2 10048/0 0/0/0 0"}},
    {"the second send fails", {}, ARRANGE(sendErrors[1] = 10051), -1, 10051, kUntouched, {},
     {"0", "1000"}},
    {"a failed wait ends the scan at once, every link short of its cycles",
     {Through(kOffice, Named("office")), Silence(), WaitFails(10038)}, ON(kLaptop), -1, 10038, kUntouched,
     {"office@172.20.0.2"}, EveryCycle(kLaptopLinks, {0, 1000}),
     {"192.168.0.2 0/0 0/0/0 1", "172.20.0.2 0/0 1/1/0 1"}},
    {"no worker thread: no link report of the scan before", {},
     ARRANGE(threads = ScriptedPort::Threads::kRefused), -1, kErrNoBuffers, kUntouched, {}, {}, {"none"}},
    {"out of memory in the worker: a failed scan, all released", {}, ARRANGE(listOutOfMemory = true), -1,
     kErrNoBuffers, kUntouched, {}, {}, {"none"}},
    {"polled before the worker runs", {}, ARRANGE(threads = ScriptedPort::Threads::kDeferred), 1,
     1, kUntouched, {}, {}},
    {"a worker on a thread of its own hands its records over", Answering(Units(20)),
     ARRANGE(threads = ScriptedPort::Threads::kReal), 0, 0, 20, Units(20), kSilent},
    // Every link of a laptop.
    {"every link sends each cycle; each record keeps the link that heard it",
     {Through(kOffice, Named("office")), Through(kPc, Named("wired"))}, ON(kLaptop), 0, 0, 2,
     {"office@172.20.0.2", "wired"}, EveryCycle(kLaptopLinks),
     {"192.168.0.2 0/0 1/1/0 3", "172.20.0.2 0/0 1/1/0 3"}},
    {"heard on both links: one record, on the link whose subnet holds it",
     {Through(kOffice, Named("both")), Through(kPc, Named("both", 900))}, ON(kLaptop), 0, 0, 1,
     {"both"}, EveryCycle(kLaptopLinks, {0, 1900, 2900})},
    {"heard on both links, held by neither: the first link's",
     {Through(kOffice, Arrives(DiscoveryReply("both", Ip(10, 0, 0, 5)))),
      Through(kPc, Arrives(DiscoveryReply("both", Ip(10, 0, 0, 5))))},
     ON(kLaptop), 0, 0, 1, {"both@172.20.0.2"}, EveryCycle(kLaptopLinks)},
    {"heard on both links, held by both: the first link's",
     {Through(Ip(10, 1, 5, 2), Arrives(DiscoveryReply("both", Ip(10, 1, 5, 9)))),
      Through(kWide, Arrives(DiscoveryReply("both", Ip(10, 1, 5, 9))))},
     ON(kOverlapping), 0, 0, 1, {"both@10.1.5.2"}, EveryCycle(kOverlapping)},
    {"one name, two MACs, two links: two converters",
     {Through(kOffice, Named("twin")), Through(kPc, Arrives(DiscoveryReply("twin", Ip(192, 168, 0, 50), 0x5F)))},
     ON(kLaptop), 0, 0, 2, {"twin@172.20.0.2", "twin"}, EveryCycle(kLaptopLinks)},
    {"down, loopback, point-to-point, 0.0.0.0 and a repeated address are no more links", {Named("wired")},
     ON(Entries({{kIffBroadcast, Ip(10, 1, 1, 1), k24}, {kIffUp | kIffBroadcast | kIffLoopback, Ip(10, 2, 2, 2), k24},
                 {kIffUp | kIffPointToPoint, Ip(10, 3, 3, 3), k24}, {kEthernet, 0, k24},
                 kEthernetEntry, kEthernetEntry})), 0, 0, 1, {"wired"}, kSilent},
    {"no link: one unbound socket, the link unknown", {Named("unit"), Named("unit", 0, 193)},
     ON(Entries({{kIffUp, kPc, k24}, kLoopbackEntry})), 0, 0, 1, {"unit@-"}, kUnbound, {"- 0/0 2/1/1 3"}},
    {"no link, host unreachable", {},
     [](ScriptedPort& p) { p.interfaces = {kLoopbackEntry}, p.sendErrors[0] = 10065; }, 10065,
     10065, kUntouched, {}, {"0@-"}, {"- 10065/0 0/0/0 0"}},
    {"a link that cannot be bound is skipped", {Named("office")},
     [](ScriptedPort& p) { p.interfaces = kLaptop, p.bindErrorsAt[kPc] = 10049; }, 0, 0, 1,
     {"office@172.20.0.2"}, EveryCycle({kOfficeEntry}),
     {"192.168.0.2 10049/0 0/0/0 0", "172.20.0.2 0/0 1/1/0 3"}},
    {"a link whose socket cannot be opened is skipped", {Named("wired")},
     [](ScriptedPort& p) { p.interfaces = kLaptop, p.openErrors[1] = 10024; }, 0, 0, 1, {"wired"},
     kSilent, {"192.168.0.2 0/0 1/1/0 3", "172.20.0.2 10024/0 0/0/0 0"}},
    {"no link can be bound: the last bind's error", {},
     [](ScriptedPort& p) { p.interfaces = kLaptop, p.bindErrorsAt = {{kPc, 10049}, {kOffice, 10048}}; },
     -1, 10048, kUntouched, {}, {}},
    {"a link whose send fails is left out from then on", {Through(kPc, Named("wired", 300))},
     [](ScriptedPort& p) { p.interfaces = kLaptop, p.sendErrors[1] = 10013; }, 0, 0, 1,
     {"wired"}, {"0", "0@172.20.0.2", "1300", "2300"},
     {"192.168.0.2 0/0 1/1/0 3", "172.20.0.2 10013/0 0/0/0 0"}},
    {"a link listed before the converter's whose send fails is left out", {Through(kPc, Named("wired", 300))},
     [](ScriptedPort& p) { p.interfaces = kOfficeFirst, p.sendErrors[0] = 10013; }, 0, 0, 1, {"wired"},
     {"0@172.20.0.2", "0", "1300", "2300"}, {"172.20.0.2 10013/0 0/0/0 0", "192.168.0.2 0/0 1/1/0 3"},
     "192.168.0.2/255.255.255.0"},
    {"a link listed before the converter's whose receive fails is left out",
     {Through(kOffice, ReceiveFails(10054)), Through(kPc, Named("wired", 300))}, ON(kOfficeFirst), 0, 0, 1,
     {"wired"}, {"0@172.20.0.2", "0", "1300", "2300"}, {"172.20.0.2 0/10054 0/0/0 0", "192.168.0.2 0/0 1/1/0 3"}},
    {"of three links the middle one leaves; the first and the last each keep their converter",
     {Through(kLab, ReceiveFails(10054)), Through(kOffice, Named("office", 100)), Through(kPc, Named("wired", 200))},
     ON(kThreeLinks), 0, 0, 2, {"office@172.20.0.2", "wired"},
     {"0@172.20.0.2", "0@10.1.0.2", "0", "1300@172.20.0.2", "1300", "2300@172.20.0.2", "2300"},
     {"172.20.0.2 0/0 1/1/0 3", "10.1.0.2 0/10054 0/0/0 0", "192.168.0.2 0/0 1/1/0 3"}},
    {"every send fails: the last one's error", {},
     [](ScriptedPort& p) { p.interfaces = kLaptop, p.sendErrors = {{0, 10065}, {1, 10051}}; }, -1,
     10051, kUntouched, {}, {"0", "0@172.20.0.2"}},
    {"117 bytes on the office link leave it out; the cable's converters are found",
     {Through(kPc, Named("wired")), Through(kOffice, Arrives(Bytes(117, 1))), Through(kPc, Named("later", 200))},
     ON(kLaptop), 0, 0, 2, {"wired", "later"}, {"0", "0@172.20.0.2", "1200", "2200"},
     {"192.168.0.2 0/0 2/2/0 3", "172.20.0.2 0/10040 0/0/0 0"}},
    {"a failed receive on the office link leaves it out",
     {Through(kOffice, ReceiveFails(10054)), Through(kPc, Named("wired", 300))}, ON(kLaptop), 0,
     0, 1, {"wired"}, {"0", "0@172.20.0.2", "1300", "2300"},
     {"192.168.0.2 0/0 1/1/0 3", "172.20.0.2 0/10054 0/0/0 0"}},
    {"every link's receive fails: the last error, at once",
     {Through(kPc, ReceiveFails(10054)), Through(kOffice, Arrives(Bytes(117, 1)))}, ON(kLaptop),
     -1, kErrMessageSize, kUntouched, {}, {"0", "0@172.20.0.2"}},
    {"five links, the converter behind the last one listed", {Through(kCable, Named("cable"))},
     ON(kFiveLinks), 0, 0, 1, {"cable@169.254.7.7"}, EveryCycle(kFiveLinks)},
    {"64 links are all searched", {Through(Ip(10, 63, 0, 2), Named("last"))}, ON(Links(64)), 0, 0,
     1, {"last@10.63.0.2"}, EveryCycle(Links(64))},
    {"a 65th link is not", {}, ON(Links(65)), -1, kErrTimedOut, 0, {}, EveryCycle(Links(64))},
    {"the PC's texts: of a host mask only the address", {}, ON(Entries({{kEthernet, kPc, 0xFFFFFFFF}})),
     -1, kErrTimedOut, 0, {}, kSilent, {}, "192.168.0.2/255.0.0.0"},
    {"the PC's texts: past a maskless entry", {},
     ON(Entries({{kEthernet, kPc, 0}, {kEthernet, kPc, Ip(255, 255, 255, 128)}})), -1, kErrTimedOut, 0, {},
     kSilent, {}, "192.168.0.2/255.255.255.128"},
    {"the PC's texts: not of a down or loopback entry, nor of another address", {},
     ON(Entries({{kIffBroadcast, kPc, k24}, {kIffUp | kIffLoopback, kPc, k24}, {kEthernet, kLab, k24}})), -1,
     kErrTimedOut, 0, {}, EveryCycle({{kEthernet, kLab, k24}}), {}, "10.0.0.1/255.0.0.0"},
    {"the PC's texts: never of 0.0.0.0", {},
     [](ScriptedPort& p) { p.interfaces = {{kEthernet, 0, k24}}, p.hostAddress = 0; }, -1, kErrTimedOut, 0,
     {}, kUnbound, {}, "10.0.0.1/255.0.0.0"},
    {"the PC's texts: none when its name resolves to nothing", {}, ARRANGE(hostKnown = false), -1,
     kErrTimedOut, 0, {}, kSilent, {}, "10.0.0.1/255.0.0.0"},
};

std::string Tally(const LinkReport& r) {
    return (r.link.known ? Dotted(r.link.address) : "-") + " " + std::to_string(r.sendError) + "/" +
           std::to_string(r.receiveError) + " " + std::to_string(r.received) + "/" +
           std::to_string(r.accepted) + "/" + std::to_string(r.dropped) + " " + std::to_string(r.cycles);
}

TEST(Scan, GoesThroughEveryLinkKeepsEachConverterOnceWithItsLinkAndReportsHowItEnded) {
    const Bytes request = With(Bytes(kDatagramSize, 0), 0, 1);
    for (const ScanRow& r : kScanRows) {
        SCOPED_TRACE(r.what);
        Pc pc(r.script, r.arrange);
        std::int32_t status = kUntouched;
        std::int32_t count = kUntouched;
        EXPECT_EQ(1, pc.client.ScanStart(&status));
        EXPECT_EQ(0, status);
        int result = pc.client.ScanPoll(&status, &count);
        while (result == 1 && pc.port.threads == ScriptedPort::Threads::kReal) {
            std::this_thread::yield();
            result = pc.client.ScanPoll(&status, &count);
        }
        EXPECT_EQ(r.result, result);
        EXPECT_EQ(r.status, status);
        EXPECT_EQ(r.count, count);
        Names kept;
        for (int i = 0; i < g_scanState.count; ++i) {
            char name[kNameTextSize];
            ReadConverterName(g_deviceTable[i], name);
            const Link link = LinkOf(&g_deviceTable[i]);
            kept.push_back(On(name, link.address));
            EXPECT_EQ(link.known, link.address != 0);
            for (const InterfaceEntry& e : pc.port.interfaces) {
                EXPECT_EQ(link.known && e.address == link.address ? e.netmask : link.netmask, link.netmask);
            }
        }
        EXPECT_EQ(r.kept, kept);
        EXPECT_EQ(r.sends, Sends(pc.port, request));
        Names reports;
        for (int i = 0; i < g_scanReport.linkCount; ++i) reports.push_back(Tally(g_scanReport.links[i]));
        if (reports.empty()) reports.push_back("none");
        EXPECT_EQ(r.reports.empty() ? reports : r.reports, reports);
        const std::string probe = std::string(g_probeResult.address) + "/" + g_probeResult.netmask;
        EXPECT_EQ(r.probe ? r.probe : probe, probe);
        EXPECT_TRUE(pc.port.Balanced()) << pc.port.Report();
    }
}

const char kMac[] = "00:1a:2b:3c:4d:5e";
// The five records the scan before left: an exchange that fails before it
// binds its socket leaves them alone.
const std::vector<std::uint16_t> kScanRecords(5, 0);

const struct AssignRow {
    const char* what;
    const char* mac;
    Script script;
    Arrange arrange;
    const char* outcome;              // how the report says it ended; the result is 1 for "taken"
    std::vector<std::uint16_t> kept;  // the status of each reply kept, in order
    Names sends;
    Link link = {};  // the link that heard the converter; the requests leave through it
} kAssignRows[] = {
    {"silence; the MAC in upper case with dashes", "00-1A-2B-3C-4D-5E", {}, nullptr, "no answer", {}, kUnbound},
    {"status 01 00", kMac, {Status(0x0100)}, nullptr, "refused", {0x0100}, kUnbound},
    {"status 01 01", kMac, {Status(0x0101)}, nullptr, "refused", {0x0101}, kUnbound},
    {"a later refusal decides", kMac, {Status(1), Status(0)}, nullptr, "refused", {1, 0}, kUnbound},
    {"a later 'taken' decides", kMac, {Status(0), Status(1)}, nullptr, "taken", {0, 1}, kUnbound},
    {"a dropped 'taken' never decides", kMac,
     {Status(0), Status(1, 0, 193), Arrives(With(AssignReply(1), 115, 256)), Arrives(With(AssignReply(1), 1, 1)),
      Arrives(With(AssignReply(1), 0, 0))}, nullptr, "refused", {0}, kUnbound},
    {"only dropped datagrams: no answer", kMac, {Status(1, 0, 193)}, nullptr, "no answer", {}, kUnbound},
    {"64 kept of 71, the last decides", kMac, Repeat(70, Status(0), {Status(1)}), nullptr,
     "taken", std::vector<std::uint16_t>(64, 0), kUnbound},
    {"no library", kMac, {}, ARRANGE(startupResult = 10091), "failed 10091", kScanRecords, {}},
    {"no socket", kMac, {}, ARRANGE(openError = 10047), "failed 10047", kScanRecords, {}},
    {"no broadcast", kMac, {}, ARRANGE(broadcastError = 10042), "failed 10042", kScanRecords, {}},
    {"no interface list", kMac, {}, ARRANGE(listError = 10022), "failed 10022", kScanRecords, {}},
    {"no bind", kMac, {}, ARRANGE(bindError = 10048), "failed 10048", kScanRecords, {}},
    {"host unreachable", kMac, {}, ARRANGE(sendErrors[0] = 10065), "failed 10065", {}, {"0@-"}},
    {"the wait fails after 'taken'", kMac, {Status(1), WaitFails(10038)}, nullptr, "failed 10038", {1}, {"0@-"}},
    {"the receive fails after 'taken'", kMac, {Status(1), ReceiveFails(10054)}, nullptr, "failed 10054", {1}, {"0@-"}},
    {"through the link that heard the converter", kMac, {Status(1)}, nullptr, "taken", {1},
     EveryCycle({kOfficeEntry}), kOfficeLink},
    {"the link cannot be bound", kMac, {}, ARRANGE(bindErrorsAt[Ip(172, 20, 0, 2)] = 10049),
     "failed 10049", kScanRecords, {}, kOfficeLink},
};

std::string Outcome(const AssignReport& report) {
    switch (report.outcome) {
        case AssignOutcome::kTaken: return "taken";
        case AssignOutcome::kRefused: return "refused";
        case AssignOutcome::kNoAnswer: return "no answer";
        case AssignOutcome::kFailed: return "failed " + std::to_string(report.error);
    }
    return "?";
}

// The request for 192.168.0.50 and 00:1a:2b:3c:4d:5e; the scan's probe result
// and running flag stay as they were.
TEST(Assign, TheLatestAcceptedReplyDecidesAndEveryFailureGivesZero) {
    Bytes request = With(With(Bytes(kDatagramSize, 0), 0, 1), 1, 2);
    std::memcpy(request.data() + 4, "ladder", 6);
    const Bytes fields = {0x00, 0x1A, 0x2B, 0x3C, 0x4D, 0x5E, 0x00, 0x00, 0xC0, 0xA8, 0x00, 0x32};
    std::copy(fields.begin(), fields.end(), request.begin() + 36);
    for (const AssignRow& r : kAssignRows) {
        SCOPED_TRACE(r.what);
        Pc pc(r.script, r.arrange);
        g_scanState.count = 5;
        pc.port.interfaces = kLaptop;
        AssignReport report{AssignOutcome::kTaken, -1};
        EXPECT_EQ(r.outcome == std::string("taken") ? 1 : 0,
                  pc.client.AssignExchange("192.168.0.50", r.mac, r.link, &report));
        EXPECT_EQ(r.outcome, Outcome(report));
        std::vector<std::uint16_t> kept;
        for (int i = 0; i < g_scanState.count; ++i) {
            kept.push_back(g_deviceTable[i].bytes[2] << 8 | g_deviceTable[i].bytes[3]);
        }
        EXPECT_EQ(r.kept, kept);
        EXPECT_EQ(r.sends, Sends(pc.port, request));
        EXPECT_EQ("10.0.0.1/255.0.0.0", std::string(g_probeResult.address) + "/" + g_probeResult.netmask);
        EXPECT_EQ(0, g_scanState.running.load());
        EXPECT_TRUE(pc.port.Balanced()) << pc.port.Report();
    }
}

TEST(InterfaceList, IsReadWholeInItsOrderDoublingTheBufferUpTo64KiB) {
    const std::vector<std::size_t> upTo64KiB = {760, 1520, 3040, 6080, 12160, 24320, 48640, 65536};
    const struct {
        int entries;
        int listError;
        int error;
        std::vector<std::size_t> sizes;
    } rows[] = {
        {3, 0, 0, {760}},
        {862, 0, 0, upTo64KiB},
        {863, 0, kErrFault, upTo64KiB},
        {3, 10022, 10022, {760}},  // only a list too long for the buffer is retried
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.entries);
        ScriptedPort port;
        for (int i = 0; i < r.entries; ++i) {  // each differs in flags and address
            port.interfaces.push_back({static_cast<std::uint32_t>(i % 32), Ip(10, i >> 8, i, 1), k24});
        }
        port.listError = r.listError;
        port.Startup();
        Entries entries;
        EXPECT_EQ(r.error, ReadInterfaces(port, port.OpenUdp(), entries));
        EXPECT_EQ(r.sizes, port.listBufferSizes);
        EXPECT_EQ(r.error == 0 ? port.interfaces : Entries{}, entries);
    }
}

// Which entry holds the target and whose texts come back: the holding entry,
// else the last one tested (one of flags exactly 0x17 never is), else the
// texts as they were.
TEST(SubnetTest, ReportsTheHoldingOrLastTestedEntry) {
    const Entries pc = {kEthernetEntry, kLoopbackEntry};
    const InterfaceEntry other = {0x15, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)};
    const InterfaceEntry k25 = {kEthernet, kPc, Ip(255, 255, 255, 128)};
    const InterfaceEntry k30 = {kEthernet, Ip(10, 8, 0, 2), Ip(255, 255, 255, 252)};
    const struct {
        const char* what;
        Entries interfaces;
        const char* target;
        Arrange arrange;
        int result;
        const char* texts;  // address/netmask
        Link link = {};     // the link that heard the target
    } rows[] = {
        {"in the subnet", pc, "192.168.0.50", nullptr, 1, "192.168.0.2/255.255.255.0"},
        {"elsewhere", pc, "192.168.1.50", nullptr, 0, "192.168.0.2/255.255.255.0"},
        {"no target", pc, nullptr, nullptr, 0, "192.168.0.2/255.255.255.0"},
        {"loopback flags 0x15", {other, kEthernetEntry}, "127.0.0.5", nullptr, 1, "127.0.0.1/255.0.0.0"},
        {"loopback flags 0x1F", {{0x1F, other.address, other.netmask}, kEthernetEntry},
         "127.0.0.5", nullptr, 1, "127.0.0.1/255.0.0.0"},
        {"netmask 0.0.0.0 holds all", {{kEthernet, 0, 0}, kEthernetEntry}, "10.9.8.7", nullptr, 1, "0.0.0.0/0.0.0.0"},
        {"the second of three", {kEthernetEntry, {kEthernet, Ip(10, 1, 2, 3), Ip(255, 255, 0, 0)},
                                 {kEthernet, Ip(172, 16, 0, 1), Ip(255, 240, 0, 0)}},
         "10.1.200.9", nullptr, 1, "10.1.2.3/255.255.0.0"},
        {"only loopback", {kLoopbackEntry}, "127.0.0.1", nullptr, 0, "as/was"},
        {"no library", pc, "192.168.0.50", ARRANGE(startupResult = 10091), -1, "as/was"},
        {"no socket", pc, "192.168.0.50", ARRANGE(openError = 10047), -1, "as/was"},
        {"no broadcast", pc, "192.168.0.50", ARRANGE(broadcastError = 10042), -1, "as/was"},
        {"no list", pc, "192.168.0.50", ARRANGE(listError = 10022), -1, "as/was"},
        {"the link decides, not the interface holding the target", kLaptop, "192.168.0.50",
         nullptr, 0, "172.20.0.2/255.255.255.0", kOfficeLink},
        {"the link holds the target", kLaptop, "172.20.0.9", nullptr, 1, "172.20.0.2/255.255.255.0", kOfficeLink},
        {"no target: the link's texts", kLaptop, nullptr, nullptr, 0, "172.20.0.2/255.255.255.0", kOfficeLink},
        {"/25: the last address of the lower half", {k25}, "192.168.0.127", nullptr, 1, "192.168.0.2/255.255.255.128"},
        {"/25: the upper half is elsewhere", {k25}, "192.168.0.128", nullptr, 0, "192.168.0.2/255.255.255.128"},
        {"/30: beyond the four addresses", {k30}, "10.8.0.4", nullptr, 0, "10.8.0.2/255.255.255.252"},
        {"a /16 link holds a far address of its subnet", kLaptop, "10.1.250.1", nullptr, 1,
         "10.1.0.2/255.255.0.0", {true, Ip(10, 1, 0, 2), Ip(255, 255, 0, 0)}},
        {"a /30 link holds its neighbour", kLaptop, "10.8.0.1", nullptr, 1,
         "10.8.0.2/255.255.255.252", {true, k30.address, k30.netmask}},
        {"a /25 link: the upper half is elsewhere", kLaptop, "192.168.0.200", nullptr, 0,
         "192.168.0.2/255.255.255.128", {true, k25.address, k25.netmask}},
        {"a link, no list", kLaptop, "172.20.0.9", ARRANGE(listError = 10022), -1, "as/was", kOfficeLink},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Pc host({}, r.arrange);
        host.port.interfaces = r.interfaces;
        char address[kAddressTextSize] = "as";
        char netmask[kAddressTextSize] = "was";
        EXPECT_EQ(r.result, host.client.SubnetTest(address, netmask, r.target, r.link));
        EXPECT_EQ(r.texts, std::string(address) + "/" + netmask);
        EXPECT_TRUE(host.port.Balanced()) << host.port.Report();
    }
}

}  // namespace
}  // namespace fake
}  // namespace net
