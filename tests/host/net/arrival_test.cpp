// The way to the converter's page, on the scripted port with its clock moved
// by hand: the page check's attempts and what they met; the free temporary
// address among the candidates, and a typed address, by what the neighbour
// table says of them.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "net/address_text.h"
#include "net/exchange.h"
#include "net/free_address.h"
#include "net/page_check.h"
#include "tests/host/net/scripted_port.h"

namespace net::fake {
namespace {

using Names = std::vector<std::string>;

const Link kWired = {true, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0)};
const std::uint32_t kConverter = Ip(192, 168, 0, 3);

std::string Summary(const PageCheck& c) {
    const char* met[] = {"accepted ", "refused ", "no answer "};
    return met[static_cast<int>(c.Met())] + std::to_string(c.attempts) + "=" + std::to_string(c.refused) +
           "/" + std::to_string(c.unanswered) + "/" + std::to_string(c.failed) + " e" +
           std::to_string(c.lastError);
}

// Each attempt starts when idle returns after its slot of 500 ms, and the
// last is cut to the 15 s bound.
TEST(PageCheck, TriesEveryHalfSecondUntilAcceptedOrFifteenSecondsAndSaysWhatTheAttemptsMet) {
    const struct {
        const char* what;
        std::vector<Connect> script;
        const char* summary;  // met attempts=refused/unanswered/failed eError
        Link link = kWired;
        std::uint32_t overrunMs = 0;  // how much longer than asked each idle takes
        int library = 0;              // the library start's error
    } rows[] = {
        {"answers at once: one connection", {Accepts(3)}, "accepted 1=0/0/0 e0"},
        {"answers at the fourth", Repeat(3, Unanswered(), {Accepts(40)}), "accepted 4=0/3/0 e0"},
        {"refused, then accepted; an unknown link: unbound", {Refuses(1), Accepts(2)}, "accepted 2=1/0/0 e0", Link{}},
        {"refused every time", Repeat(40, Refuses(2)), "refused 30=30/0/0 e0"},
        {"never answers", {}, "no answer 30=0/30/0 e0"},
        {"silence, then refused: something holds the address", {Unanswered(), Refuses(1)}, "refused 30=1/29/0 e0"},
        {"answers 1 ms before the bound", Repeat(29, Unanswered(), {Accepts(499)}), "accepted 30=0/29/0 e0"},
        {"answers at the bound: too late", Repeat(29, Unanswered(), {Accepts(500)}), "no answer 30=0/30/0 e0"},
        {"host unreachable every time", Repeat(30, ConnectFails(10065)), "no answer 30=0/0/30 e10065"},
        {"a slow idle", {}, "no answer 22=0/22/0 e0", kWired, 200},
        {"no socket library", {}, "no answer 0=0/0/0 e10091", kWired, 0, 10091},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ScriptedPort port;
        port.connects.assign(r.script.begin(), r.script.end());
        port.startupResult = r.library;
        std::set<std::size_t> idledAfter;  // the attempts made when idle ran
        const PageCheck check = CheckPage(port, kConverter, r.link, [&](std::uint32_t ms) {
            idledAfter.insert(port.attempts.size());
            port.nowMs += ms + r.overrunMs;
        });
        EXPECT_EQ(r.summary, Summary(check));
        for (std::size_t k = 0; k < port.attempts.size(); ++k) {
            const ConnectAttempt& a = port.attempts[k];
            EXPECT_EQ(k * (500 + r.overrunMs), a.atMs);
            EXPECT_EQ(std::min<std::uint64_t>(500, 15000 - a.atMs), a.timeoutMs);
            EXPECT_EQ(r.link.address, a.from);
            EXPECT_EQ(kConverter, a.address);
            EXPECT_EQ(PortToNetwork(80), a.port);
            EXPECT_TRUE(k == 0 || idledAfter.count(k)) << "no idle before attempt " << k;
        }
        EXPECT_TRUE(port.Balanced()) << port.Report();
    }
}

// 192.168.0.d.
std::uint32_t Host(int d) { return Ip(192, 168, 0, d); }
NeighbourEntry Entry(std::uint32_t address, int state, bool mac = true) {
    return {address, state, {0, 0, 0, 0, 0, static_cast<std::uint8_t>(mac ? 0x5e : 0)}};
}
std::vector<NeighbourEntry> Reachable(int first, int last) {
    std::vector<NeighbourEntry> held;
    for (int d = first; d <= last; ++d) held.push_back(Entry(Host(d), kNeighbourReachable));
    return held;
}
// The dotted texts of 192.168.0.first..last after the texts of lead.
Names Dots(Names lead, int first, int last, const char* prefix = "192.168.0.") {
    for (int d = first; d <= last; ++d) lead.push_back(prefix + std::to_string(d));
    return lead;
}

Link On(std::uint32_t address, int prefix) {
    return {true, address, NetworkOrder(prefix == 0 ? 0u : ~0u << (32 - prefix))};
}

const Names kAsked24 = Dots({}, 3, 18);

const Link k25 = On(Host(2), 25);
const Link k30 = On(Ip(10, 8, 0, 2), 30);
const std::vector<NeighbourEntry> kHeld = {Entry(Host(3), kNeighbourReachable)};

// The link asked which addresses a device answers for: the candidates for
// the free temporary address, or the one address typed.
TEST(AskingTheLink, FindsTheFirstFreeCandidateAndRefusesATypedAddressHeldOrReserved) {
    const struct {
        const char* what;
        Link link;
        std::vector<NeighbourEntry> table;
        const char* found;  // free A, none free A, unchecked A; for a typed address what stands against it
        Names asked;        // where the one-byte datagrams went, in order
        std::uint32_t typed = 0;
        Arrange arrange = nullptr;
        bool readable = true;
    } rows[] = {
        {"nobody answers: the suggestion", kWired, {}, "free 192.168.0.3", kAsked24},
        {"reachable and permanent hold; unreachable and incomplete do not, MAC or not", kWired,
         {Entry(Host(3), kNeighbourReachable, false), Entry(Host(4), kNeighbourPermanent, false),
          Entry(Host(5), kNeighbourUnreachable), Entry(Host(6), kNeighbourIncomplete)}, "free 192.168.0.5", kAsked24},
        {"stale, delay and probe with a MAC hold", kWired,
         {Entry(Host(3), kNeighbourStale), Entry(Host(4), kNeighbourDelay), Entry(Host(5), kNeighbourProbe)},
         "free 192.168.0.6", kAsked24},
        {"stale without a MAC is how wine reads a silent address", kWired,
         {kHeld[0], Entry(Host(4), kNeighbourStale, false), Entry(Host(4), kNeighbourIncomplete, false)},
         "free 192.168.0.4", kAsked24},
        {"the 16th", kWired, Reachable(3, 17), "free 192.168.0.18", kAsked24},
        {"none free", kWired, Reachable(3, 18), "none free 192.168.0.3", kAsked24},
        {"past the PC, the broadcast and the network address, the last octet wraps", On(Host(254), 24),
         Reachable(253, 253), "free 192.168.0.1", Dots({"192.168.0.253"}, 1, 15)},
        {"/23: .255 is a host, and the octet wraps without a carry", On(Host(254), 23),
         Reachable(255, 255), "free 192.168.0.1", Dots({"192.168.0.255"}, 1, 15)},
        {"/23: past .255, .0 is the subnet's own: two up", On(Ip(192, 168, 0, 255), 23), {},
         "free 192.168.0.1", Dots({}, 1, 16)},
        {"/16: the octet wraps without a carry", On(Ip(192, 168, 1, 255), 16), {}, "free 192.168.1.0",
         Dots({}, 0, 15, "192.168.1.")},
        {"/25: the octet wraps at the subnet's end", On(Host(126), 25), Reachable(125, 125),
         "free 192.168.0.1", Dots({"192.168.0.125"}, 1, 15)},
        {"/30: one candidate", k30, {Entry(Ip(10, 8, 0, 1), kNeighbourReachable)}, "none free 10.8.0.1",
         {"10.8.0.1"}},
        {"/31: unchecked", On(Ip(10, 8, 0, 0), 31), {}, "unchecked 10.8.0.255", {}},
        {"a PC on its subnet's broadcast address: the suggestion lies outside, unchecked",
         On(Ip(10, 8, 0, 3), 30), {}, "unchecked 10.8.0.5", {}},
        {"/32: unchecked", On(Host(10), 32), {}, "unchecked 192.168.0.9", {}},
        {"no link known: unchecked", Link{}, {}, "unchecked 0.0.0.1", {}},
        {"the table cannot be read", kWired, {}, "unchecked 192.168.0.3", kAsked24, 0, nullptr, false},
        {"a candidate whose datagram did not leave is not taken", kWired, {}, "free 192.168.0.4",
         kAsked24, 0, ARRANGE(sendErrors[0] = 10065)},
        {"no datagram leaves", kWired, {}, "unchecked 192.168.0.3", kAsked24, 0,
         [](ScriptedPort& p) { for (std::size_t i = 0; i < 16; ++i) p.sendErrors[i] = 10051; }},
        {"the socket cannot be bound to the link", kWired, {}, "unchecked 192.168.0.3", {}, 0,
         ARRANGE(bindError = 10049)},
        // A typed address (the dialog's rows hold a device's, the PC's, the broadcast and the network address).
        {"/24 nobody", kWired, {}, "usable", {"192.168.0.3"}, Host(3)},
        {"/25 the upper half is outside", k25, {}, "unchecked", {}, Host(128)},
        {"/30 a device", k30, {Entry(Ip(10, 8, 0, 1), kNeighbourReachable)}, "in use", {"10.8.0.1"}, Ip(10, 8, 0, 1)},
        {"/31 has no network or broadcast address", On(Ip(10, 8, 0, 0), 31), {}, "usable", {"10.8.0.1"},
         Ip(10, 8, 0, 1)},
        {"/32 has none either: the one address is the PC's", On(Host(2), 32), {}, "pc", {}, Host(2)},
        {"typed, the table cannot be read", kWired, kHeld, "unchecked", {"192.168.0.3"}, Host(3), nullptr, false},
        {"typed, no link known", Link{}, kHeld, "unchecked", {}, Host(3)},
    };
    const char* outcomes[] = {"free ", "none free ", "unchecked "};
    const char* uses[] = {"usable", "in use", "network", "broadcast", "pc", "unchecked"};
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ScriptedPort port;
        ScriptedNeighbours table(port);
        table.entries = r.table;
        table.readable = r.readable;
        if (r.arrange) r.arrange(port);
        const Idle idle = [&](std::uint32_t ms) { port.nowMs += ms; };
        if (r.typed != 0) {
            const AddressUse use = CheckTypedAddress(port, table, r.typed, r.link, idle);
            EXPECT_STREQ(r.found, uses[static_cast<int>(use)]);
        } else {
            const FreeAddress found = FindFreeAddress(port, table, r.link, idle);
            EXPECT_EQ(r.found, outcomes[static_cast<int>(found.outcome)] + Dotted(found.address));
        }
        Names asked;
        for (const SentDatagram& d : port.sent) {
            asked.push_back(Dotted(d.address));
            EXPECT_EQ(std::vector<std::uint8_t>(1, 0), d.bytes);
            EXPECT_EQ(PortToNetwork(9), d.port);
            EXPECT_EQ(r.link.address, d.from);
        }
        EXPECT_EQ(r.asked, asked);
        // The table is read once, a second after the datagrams left, where one did.
        const bool sent = port.sent.size() > port.sendErrors.size();
        EXPECT_EQ(sent ? std::vector<std::uint64_t>{1000} : std::vector<std::uint64_t>{}, table.readsAt);
        EXPECT_TRUE(port.Balanced()) << port.Report();
    }
}

}  // namespace
}  // namespace net::fake
