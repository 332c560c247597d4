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
using Arrange = void (*)(ScriptedPort&);

// A row's change to the PC, e.g. ARRANGE(openError = 10047).
#define ARRANGE(change) [](ScriptedPort& p) { p.change; }

constexpr std::int32_t kUntouched = -12345;
constexpr std::uint32_t kEthernet = kIffUp | kIffBroadcast | kIffMulticast;
const std::uint32_t kPc = Ip(192, 168, 0, 2);
const std::uint32_t k24 = Ip(255, 255, 255, 0);
const InterfaceEntry kEthernetEntry = {kEthernet, kPc, k24};
// Exactly the flags Windows gives its loopback entry.
const InterfaceEntry kLoopbackEntry = {0x17, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)};
const Times kSilentCycles = {0, 1000, 2000};
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
        std::memset(&g_probeResult, 0, sizeof g_probeResult);
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

// `part` `times` over, then `tail`.
Script Repeat(int times, const Script& part, Script tail = {}) {
    while (times-- > 0) tail.insert(tail.begin(), part.begin(), part.end());
    return tail;
}

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

Names RecordNames(int count) {
    Names names;
    for (int i = 0; i < count; ++i) {
        char name[kNameTextSize];
        ReadConverterName(g_deviceTable[i], name);
        names.push_back(name);
    }
    return names;
}

// When each request left; each must be `request` to 255.255.255.255:192.
Times SendTimes(const ScriptedPort& port, const Bytes& request) {
    Times times;
    for (const SentDatagram& d : port.sent) {
        EXPECT_EQ(request, d.bytes);
        EXPECT_EQ(0xFFFFFFFFu, d.address);
        const auto* p = reinterpret_cast<const std::uint8_t*>(&d.port);
        EXPECT_EQ(Bytes({0x00, 0xC0}), Bytes(p, p + 2));
        times.push_back(d.atMs);
    }
    return times;
}

// Each record of the table is read with ReadConverterName, so a name of 68
// bytes without a NUL shows if it runs into the next record.
const struct ScanRow {
    const char* what;
    Script script;
    Arrange arrange;  // nullptr: the PC as it is
    int result;
    std::int32_t status;
    std::int32_t count;  // kUntouched: not written
    Names kept;          // the records, whatever the result
    Times sendsAt;
} kScanRows[] = {
    {"nothing answers", {}, nullptr, -1, kErrTimedOut, 0, {}, kSilentCycles},
    {"names end at a NUL or after 68 bytes",
     {Named(std::string(68, 'N')), Named(std::string("Z\0junk", 6))}, nullptr, 0, 0, 2,
     {std::string(68, 'N'), "Z"}, kSilentCycles},
    {"of equal bytes 48..79 the first wins; byte 79 tells apart",
     {Named(k32 + "1"), Named(k32 + "2"), Named(k32.substr(1) + "B")}, nullptr, 0, 0, 2,
     {k32 + "1", k32.substr(1) + "B"}, kSilentCycles},
    {"each dropped datagram restarts the silent second",
     {Arrives(With(DiscoveryReply("short"), 115, 256), 500), Named("port", 500, 193),
      Arrives(With(DiscoveryReply("proto"), 0, 2), 500),
      Arrives(With(DiscoveryReply("op"), 1, 3), 500)},
     nullptr, -1, kErrTimedOut, 0, {}, {0, 3000, 4000}},
    {"a chatty sender is cut off 10 s after each request", Repeat(100, {Named("Z", 500)}),
     nullptr, 0, 0, 1, {"Z"}, {0, 10000, 20000}},
    {"the ceiling shortens the last wait", Repeat(10, {Named("a", 999)}, {Named("b", 500)}),
     nullptr, 0, 0, 2, {"a", "b"}, {0, 10000, 11490}},
    {"a receive overrunning the ceiling ends the cycle",
     Repeat(10, {Named("a", 999)}, {Named("b", 200)}), ARRANGE(inbound[9].receiveMs = 30),
     0, 0, 2, {"a", "b"}, {0, 10020, 11220}},
    {"64 of 70 are kept", Answering(Units(70)), nullptr, 0, 0, 64, Units(64), kSilentCycles},
    {"117 bytes fail the scan", {Named("kept"), Arrives(Bytes(117, 1))}, nullptr, -1,
     kErrMessageSize, kUntouched, {"kept"}, {0}},
    {"a failed receive", {Named("A"), Silence(), ReceiveFails(10054)}, nullptr, -1, 10054,
     kUntouched, {"A"}, {0, 1000}},
    {"no library", {}, ARRANGE(startupResult = 10091), -1, 10091, kUntouched, {}, {}},
    {"no socket", {}, ARRANGE(openError = 10047), -1, 10047, kUntouched, {}, {}},
    {"no broadcast", {}, ARRANGE(broadcastError = 10042), -1, 10042, kUntouched, {}, {}},
    {"no interface list", {}, ARRANGE(listError = 10022), -1, 10022, kUntouched, {}, {}},
    {"no bind", {}, ARRANGE(bindError = 10048), -1, 10048, kUntouched, {}, {}},
    {"host unreachable", {}, ARRANGE(sendErrors[0] = 10065), 10065, 10065, kUntouched, {}, {0}},
    {"the second send fails", {}, ARRANGE(sendErrors[1] = 10051), -1, 10051, kUntouched, {},
     {0, 1000}},
    {"the wait fails", {WaitFails(10038)}, nullptr, -1, 10038, kUntouched, {}, {0}},
    {"no worker thread", {}, ARRANGE(threads = ScriptedPort::Threads::kRefused), -1,
     kErrThreadStart, kUntouched, {}, {}},
    {"polled before the worker runs", {}, ARRANGE(threads = ScriptedPort::Threads::kDeferred), 1,
     1, kUntouched, {}, {}},
    {"a worker on a thread of its own hands its records over", Answering(Units(20)),
     ARRANGE(threads = ScriptedPort::Threads::kReal), 0, 0, 20, Units(20), kSilentCycles},
};

TEST(Scan, KeepsEachAnsweringConverterOnceAndReportsHowItEnded) {
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
        EXPECT_EQ(r.kept, RecordNames(g_scanState.count));
        EXPECT_EQ(r.sendsAt, SendTimes(pc.port, With(Bytes(kDatagramSize, 0), 0, 1)));
        EXPECT_TRUE(pc.port.Balanced()) << pc.port.Report();
    }
}

// A laptop: a wired link listed first, an office link, the loopback entry.
const std::uint32_t kOffice = Ip(172, 20, 0, 2);
const InterfaceEntry kOfficeEntry = {kEthernet, kOffice, k24};
const Entries kLaptop = {kEthernetEntry, kOfficeEntry, kLoopbackEntry};
const Link kOfficeLink = {true, kOffice, k24};

std::string Dotted(std::uint32_t address) {
    char text[kAddressTextSize];
    FormatInAddr(address, text);
    return text;
}

// "when@link" of every send, "-" for the unbound socket.
Names Sends(const ScriptedPort& port) {
    Names sends;
    for (const SentDatagram& d : port.sent) {
        sends.push_back(std::to_string(d.atMs) + "@" + (d.from ? Dotted(d.from) : "-"));
    }
    return sends;
}

const struct LinksRow {
    const char* what;
    Entries interfaces;
    Script script;
    Arrange arrange;
    int result;
    std::int32_t status;
    Names kept;   // "name@link" of every record
    Names sends;  // "when@link"
} kLinksRows[] = {
    {"every link sends each cycle; each record keeps the link that heard it", kLaptop,
     {Through(kOffice, Named("office")), Through(kPc, Named("wired"))}, nullptr, 0, 0,
     {"office@172.20.0.2", "wired@192.168.0.2"},
     {"0@192.168.0.2", "0@172.20.0.2", "1000@192.168.0.2", "1000@172.20.0.2", "2000@192.168.0.2",
      "2000@172.20.0.2"}},
    {"heard on both links: one record, the first link's", kLaptop,
     {Through(kOffice, Named("both")), Through(kPc, Named("both", 900))}, nullptr, 0, 0,
     {"both@172.20.0.2"},
     {"0@192.168.0.2", "0@172.20.0.2", "1900@192.168.0.2", "1900@172.20.0.2", "2900@192.168.0.2",
      "2900@172.20.0.2"}},
    {"down, loopback, point-to-point, 0.0.0.0 and a repeated address are no more links",
     {{kIffBroadcast, Ip(10, 1, 1, 1), k24}, {kIffUp | kIffBroadcast | kIffLoopback, Ip(10, 2, 2, 2), k24},
      {kIffUp | kIffPointToPoint, Ip(10, 3, 3, 3), k24}, {kEthernet, 0, k24}, kEthernetEntry,
      kEthernetEntry},
     {Named("wired")}, nullptr, 0, 0, {"wired@192.168.0.2"},
     {"0@192.168.0.2", "1000@192.168.0.2", "2000@192.168.0.2"}},
    {"no link: one unbound socket, the link unknown", {{kIffUp, kPc, k24}, kLoopbackEntry},
     {Named("unit")}, nullptr, 0, 0, {"unit@none"}, {"0@-", "1000@-", "2000@-"}},
    {"no link, host unreachable", {kLoopbackEntry}, {}, ARRANGE(sendErrors[0] = 10065), 10065,
     10065, {}, {"0@-"}},
    {"a link that cannot be bound is skipped", kLaptop, {Named("office")},
     ARRANGE(bindErrorsAt[Ip(192, 168, 0, 2)] = 10049), 0, 0, {"office@172.20.0.2"},
     {"0@172.20.0.2", "1000@172.20.0.2", "2000@172.20.0.2"}},
    {"a link whose socket cannot be opened is skipped", kLaptop, {Named("wired")},
     ARRANGE(openErrors[1] = 10024), 0, 0, {"wired@192.168.0.2"},
     {"0@192.168.0.2", "1000@192.168.0.2", "2000@192.168.0.2"}},
    {"no link can be bound: the last bind's error", kLaptop, {},
     [](ScriptedPort& p) { p.bindErrorsAt = {{kPc, 10049}, {Ip(172, 20, 0, 2), 10048}}; }, -1,
     10048, {}, {}},
    {"a link whose send fails is left out from then on", kLaptop,
     {Through(kPc, Named("wired"))}, ARRANGE(sendErrors[1] = 10013), 0, 0, {"wired@192.168.0.2"},
     {"0@192.168.0.2", "0@172.20.0.2", "1000@192.168.0.2", "2000@192.168.0.2"}},
    {"every send fails: the last one's error", kLaptop, {},
     [](ScriptedPort& p) { p.sendErrors = {{0, 10065}, {1, 10051}}; }, -1, 10051, {},
     {"0@192.168.0.2", "0@172.20.0.2"}},
    {"a failed receive on the second link ends the scan", kLaptop,
     {Through(kPc, Named("wired")), Through(kOffice, Arrives(Bytes(117, 1)))}, nullptr, -1,
     kErrMessageSize, {"wired@192.168.0.2"}, {"0@192.168.0.2", "0@172.20.0.2"}},
};

TEST(Scan, GoesThroughEveryLinkAndKeepsTheLinkThatHeardEachConverter) {
    for (const LinksRow& r : kLinksRows) {
        SCOPED_TRACE(r.what);
        Pc pc(r.script, r.arrange);
        pc.port.interfaces = r.interfaces;
        std::int32_t status = kUntouched;
        pc.client.ScanStart(&status);
        EXPECT_EQ(r.result, pc.client.ScanPoll(&status, nullptr));
        EXPECT_EQ(r.status, status);
        Names kept = RecordNames(g_scanState.count);
        for (int i = 0; i < g_scanState.count; ++i) {
            const Link link = LinkOf(&g_deviceTable[i]);
            kept[i] += "@" + (link.known ? Dotted(link.address) : "none");
            EXPECT_EQ(link.known ? k24 : 0u, link.netmask);
        }
        EXPECT_EQ(r.kept, kept);
        EXPECT_EQ(r.sends, Sends(pc.port));
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
    int result;
    std::vector<std::uint16_t> kept;  // the status of each reply kept, in order
    Times sendsAt;
    Link link = {};  // the link that heard the converter; the requests leave through it
} kAssignRows[] = {
    {"silence; the MAC in upper case with dashes", "00-1A-2B-3C-4D-5E", {}, nullptr, 0, {},
     kSilentCycles},
    {"status 01 00", kMac, {Status(0x0100)}, nullptr, 0, {0x0100}, kSilentCycles},
    {"status 01 01", kMac, {Status(0x0101)}, nullptr, 0, {0x0101}, kSilentCycles},
    {"a later refusal decides", kMac, {Status(1), Status(0)}, nullptr, 0, {1, 0}, kSilentCycles},
    {"a later 'taken' decides", kMac, {Status(0), Status(1)}, nullptr, 1, {0, 1}, kSilentCycles},
    {"a dropped 'taken' never decides", kMac,
     {Status(0), Status(1, 0, 193), Arrives(With(AssignReply(1), 115, 256)),
      Arrives(With(AssignReply(1), 1, 1)), Arrives(With(AssignReply(1), 0, 0))},
     nullptr, 0, {0}, kSilentCycles},
    {"a dropped refusal never decides", kMac, {Status(1), Status(0, 0, 5000)}, nullptr, 1, {1},
     kSilentCycles},
    {"64 kept of 71, the last decides", kMac, Repeat(70, {Status(0)}, {Status(1)}),
     nullptr, 1, std::vector<std::uint16_t>(64, 0), kSilentCycles},
    {"no library", kMac, {}, ARRANGE(startupResult = 10091), 0, kScanRecords, {}},
    {"no socket", kMac, {}, ARRANGE(openError = 10047), 0, kScanRecords, {}},
    {"no broadcast", kMac, {}, ARRANGE(broadcastError = 10042), 0, kScanRecords, {}},
    {"no interface list", kMac, {}, ARRANGE(listError = 10022), 0, kScanRecords, {}},
    {"no bind", kMac, {}, ARRANGE(bindError = 10048), 0, kScanRecords, {}},
    {"host unreachable", kMac, {}, ARRANGE(sendErrors[0] = 10065), 0, {}, {0}},
    {"the wait fails after 'taken'", kMac, {Status(1), WaitFails(10038)}, nullptr, 0, {1}, {0}},
    {"through the link that heard the converter", kMac, {Status(1)}, nullptr, 1, {1},
     kSilentCycles, kOfficeLink},
    {"the link cannot be bound", kMac, {}, ARRANGE(bindErrorsAt[Ip(172, 20, 0, 2)] = 10049), 0,
     kScanRecords, {}, kOfficeLink},
};

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
        std::strcpy(g_probeResult.address, "10.0.0.7");
        g_scanState.count = 5;
        pc.port.interfaces = kLaptop;
        EXPECT_EQ(r.result, pc.client.AssignExchange("192.168.0.50", r.mac, r.link));
        std::vector<std::uint16_t> kept;
        for (int i = 0; i < g_scanState.count; ++i) {
            kept.push_back(g_deviceTable[i].bytes[2] << 8 | g_deviceTable[i].bytes[3]);
        }
        EXPECT_EQ(r.kept, kept);
        EXPECT_EQ(r.sendsAt, SendTimes(pc.port, request));
        for (const SentDatagram& d : pc.port.sent) EXPECT_EQ(r.link.address, d.from);
        EXPECT_STREQ("10.0.0.7", g_probeResult.address);
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

// The probe as a scan runs it, over texts an earlier scan left: a candidate
// is up, not loopback and holds the host's address (never 0.0.0.0); the first
// with a usable mask gives both texts, a host mask only the address.
TEST(Probe, KeepsTheTextsOfThePcsInterface) {
    const std::uint32_t unknown = 1;  // the host name resolves to nothing
    const struct {
        const char* what;
        Entries interfaces;
        std::uint32_t host;
        const char* texts;  // address/netmask
    } rows[] = {
        {"among others", {kLoopbackEntry, {kEthernet, Ip(10, 0, 0, 9), k24}, kEthernetEntry}, kPc,
         "192.168.0.2/255.255.255.0"},
        {"a host mask", {{kEthernet, kPc, 0xFFFFFFFF}}, kPc, "192.168.0.2/255.0.0.0"},
        {"past a maskless one", {{kEthernet, kPc, 0}, {kEthernet, kPc, Ip(255, 255, 255, 128)}},
         kPc, "192.168.0.2/255.255.255.128"},
        {"down, loopback or another address",
         {{kIffBroadcast, kPc, k24}, {kIffUp | kIffLoopback, kPc, k24},
          {kEthernet, Ip(192, 168, 0, 3), k24}},
         kPc, "10.0.0.1/255.0.0.0"},
        {"0.0.0.0", {{kEthernet, 0, k24}}, 0, "10.0.0.1/255.0.0.0"},
        {"unknown host name", {kEthernetEntry}, unknown, "10.0.0.1/255.0.0.0"},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        Pc pc;
        pc.port.interfaces = r.interfaces;
        pc.port.hostAddress = r.host;
        pc.port.hostKnown = r.host != unknown;
        std::strcpy(g_probeResult.address, "10.0.0.1");
        std::strcpy(g_probeResult.netmask, "255.0.0.0");
        std::int32_t status = 0;
        pc.client.ScanStart(&status);
        EXPECT_EQ(-1, pc.client.ScanPoll(&status, nullptr));
        EXPECT_EQ(kErrTimedOut, status) << "whatever the probe found, the scan goes on";
        EXPECT_EQ(r.texts, std::string(g_probeResult.address) + "/" + g_probeResult.netmask);
    }
}

// Which entry holds the target and whose texts come back: the holding entry,
// else the last one tested (one of flags exactly 0x17 never is), else the
// texts as they were.
TEST(SubnetTest, ReportsTheHoldingOrLastTestedEntry) {
    const Entries pc = {kEthernetEntry, kLoopbackEntry};
    const InterfaceEntry other = {0x15, Ip(127, 0, 0, 1), Ip(255, 0, 0, 0)};
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
        {"loopback flags 0x15", {other, kEthernetEntry}, "127.0.0.5", nullptr, 1,
         "127.0.0.1/255.0.0.0"},
        {"loopback flags 0x1F", {{0x1F, other.address, other.netmask}, kEthernetEntry},
         "127.0.0.5", nullptr, 1, "127.0.0.1/255.0.0.0"},
        {"netmask 0.0.0.0 holds all", {{kEthernet, 0, 0}, kEthernetEntry}, "10.9.8.7", nullptr, 1,
         "0.0.0.0/0.0.0.0"},
        {"the second of three",
         {kEthernetEntry, {kEthernet, Ip(10, 1, 2, 3), Ip(255, 255, 0, 0)},
          {kEthernet, Ip(172, 16, 0, 1), Ip(255, 240, 0, 0)}},
         "10.1.200.9", nullptr, 1, "10.1.2.3/255.255.0.0"},
        {"only loopback", {kLoopbackEntry}, "127.0.0.1", nullptr, 0, "as/was"},
        {"no library", pc, "192.168.0.50", ARRANGE(startupResult = 10091), -1, "as/was"},
        {"no socket", pc, "192.168.0.50", ARRANGE(openError = 10047), -1, "as/was"},
        {"no broadcast", pc, "192.168.0.50", ARRANGE(broadcastError = 10042), -1, "as/was"},
        {"no list", pc, "192.168.0.50", ARRANGE(listError = 10022), -1, "as/was"},
        {"the link decides, not the interface holding the target", kLaptop, "192.168.0.50",
         nullptr, 0, "172.20.0.2/255.255.255.0", kOfficeLink},
        {"the link holds the target", kLaptop, "172.20.0.9", nullptr, 1,
         "172.20.0.2/255.255.255.0", kOfficeLink},
        {"no target: the link's texts", kLaptop, nullptr, nullptr, 0, "172.20.0.2/255.255.255.0",
         kOfficeLink},
        {"a link, no list", kLaptop, "172.20.0.9", ARRANGE(listError = 10022), -1, "as/was",
         kOfficeLink},
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
