// The way to the converter's page, on the scripted port with its clock moved
// by hand: the page check's attempts and what they met; the free temporary
// address among the candidates and what the neighbour table says of them;
// a typed address and what stands against it.
#include <gtest/gtest.h>

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
using Arrange = void (*)(ScriptedPort&);
#define ARRANGE(change) [](ScriptedPort& p) { p.change; }

const Link kWired = {true, Ip(192, 168, 0, 2), Ip(255, 255, 255, 0)};
const std::uint32_t kConverter = Ip(192, 168, 0, 3);

std::string Dotted(std::uint32_t address) {
    char text[kAddressTextSize];
    FormatInAddr(address, text);
    return text;
}

std::vector<Connect> Times(int n, Connect c, std::vector<Connect> tail = {}) {
    tail.insert(tail.begin(), static_cast<std::size_t>(n), c);
    return tail;
}

// "at" of each attempt every step ms, from first on.
Names Every(int n, int step = 500, int first = 0) {
    Names at;
    for (int i = 0; i < n; ++i) at.push_back(std::to_string(first + i * step));
    return at;
}

std::string Summary(const PageCheck& c) {
    const char* met[] = {"accepted", "refused", "no answer"};
    std::string s = std::string(met[static_cast<int>(c.Met())]) + " " + std::to_string(c.attempts) +
                    "=" + std::to_string(c.refused) + "/" + std::to_string(c.unanswered) + "/" +
                    std::to_string(c.failed);
    return c.lastError != 0 ? s + " e" + std::to_string(c.lastError) : s;
}

TEST(PageCheck, TriesEveryHalfSecondUntilAcceptedOrFifteenSecondsAndSaysWhatTheAttemptsMet) {
    const struct {
        const char* what;
        std::vector<Connect> script;
        Link link;
        std::uint32_t overrunMs;  // how much longer than asked each idle takes
        Arrange arrange;
        const char* summary;  // met attempts=refused/unanswered/failed [eError]
        Names attempts;       // when each began, "/budget" where it was given less than 500 ms
    } rows[] = {
        {"answers at once: one connection", {Accepts(3)}, kWired, 0, nullptr, "accepted 1=0/0/0", {"0"}},
        {"answers at the fourth", Times(3, Unanswered(), {Accepts(40)}), kWired, 0, nullptr,
         "accepted 4=0/3/0", Every(4)},
        {"refused, then accepted", {Refuses(1), Accepts(2)}, kWired, 0, nullptr, "accepted 2=1/0/0",
         Every(2)},
        {"refused every time", Times(40, Refuses(2)), kWired, 0, nullptr, "refused 30=30/0/0", Every(30)},
        {"never answers", {}, kWired, 0, nullptr, "no answer 30=0/30/0", Every(30)},
        {"silence, then refused: something holds the address", {Unanswered(), Refuses(1)}, kWired, 0,
         nullptr, "refused 30=1/29/0", Every(30)},
        {"answers 1 ms before the bound", Times(29, Unanswered(), {Accepts(499)}), kWired, 0, nullptr,
         "accepted 30=0/29/0", Every(30)},
        {"answers at the bound: too late", Times(29, Unanswered(), {Accepts(500)}), kWired, 0,
         nullptr, "no answer 30=0/30/0", Every(30)},
        {"host unreachable every time", Times(30, ConnectFails(10065)), kWired, 0, nullptr,
         "no answer 30=0/0/30 e10065", Every(30)},
        {"an unknown link: unbound", {Accepts()}, Link{}, 0, nullptr, "accepted 1=0/0/0", {"0"}},
        {"a slow idle: each attempt when it returns, the last cut to the bound", {}, kWired, 200,
         nullptr, "no answer 22=0/22/0", [] {
             Names at = Every(22, 700);
             at.back() += "/300";
             return at;
         }()},
        {"no socket library", {}, kWired, 0, ARRANGE(startupResult = 10091), "no answer 0=0/0/0 e10091",
         {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ScriptedPort port;
        port.connects.assign(r.script.begin(), r.script.end());
        if (r.arrange) r.arrange(port);
        std::set<std::size_t> idledAfter;  // the attempts made when idle ran
        const PageCheck check = CheckPage(port, kConverter, r.link, [&](std::uint32_t ms) {
            idledAfter.insert(port.attempts.size());
            port.nowMs += ms + r.overrunMs;
        });
        EXPECT_EQ(r.summary, Summary(check));
        Names attempts;
        for (const ConnectAttempt& a : port.attempts) {
            const std::string cut = a.timeoutMs != 500 ? "/" + std::to_string(a.timeoutMs) : "";
            attempts.push_back(std::to_string(a.atMs) + cut);
            EXPECT_EQ(r.link.address, a.from);
            EXPECT_EQ(kConverter, a.address);
            EXPECT_EQ(PortToNetwork(80), a.port);
        }
        EXPECT_EQ(r.attempts, attempts);
        for (std::size_t made = 1; made < port.attempts.size(); ++made) {
            EXPECT_TRUE(idledAfter.count(made)) << "no idle between attempts " << made << " and " << made + 1;
        }
        EXPECT_TRUE(port.Balanced()) << port.Report();
    }
}

// 192.168.0.d, or a.b.c.d.
std::uint32_t Host(int d) { return Ip(192, 168, 0, d); }
NeighbourEntry Entry(std::uint32_t address, int state, bool mac = true) {
    NeighbourEntry e;
    e.address = address;
    e.state = state;
    if (mac) e.mac[5] = 0x5e;
    return e;
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

TEST(FreeAddress, IsTheFirstCandidateNobodyAnswersForOnTheLinkOrTheSuggestionUnchecked) {
    const struct {
        const char* what;
        Link link;
        std::vector<NeighbourEntry> table;
        Arrange arrange;
        const char* found;  // free A, none free, unchecked A
        Names asked;        // where the one-byte datagrams went, in order
        bool readable = true;
    } rows[] = {
        {"nobody answers: the suggestion", kWired, {}, nullptr, "free 192.168.0.3", kAsked24},
        {"reachable and permanent hold; unreachable and incomplete do not, MAC or not", kWired,
         {Entry(Host(3), kNeighbourReachable, false), Entry(Host(4), kNeighbourPermanent, false),
          Entry(Host(5), kNeighbourUnreachable), Entry(Host(6), kNeighbourIncomplete)},
         nullptr, "free 192.168.0.5", kAsked24},
        {"stale, delay and probe with a MAC hold", kWired,
         {Entry(Host(3), kNeighbourStale), Entry(Host(4), kNeighbourDelay), Entry(Host(5), kNeighbourProbe)},
         nullptr, "free 192.168.0.6", kAsked24},
        {"stale without a MAC is how wine reads a silent address", kWired,
         {Entry(Host(3), kNeighbourReachable), Entry(Host(4), kNeighbourStale, false),
          Entry(Host(4), kNeighbourIncomplete, false)},
         nullptr, "free 192.168.0.4", kAsked24},
        {"the 16th", kWired, Reachable(3, 17), nullptr, "free 192.168.0.18", kAsked24},
        {"none free", kWired, Reachable(3, 18), nullptr, "none free 192.168.0.3", kAsked24},
        {"past the PC, the broadcast and the network address, the last octet wraps", On(Host(254), 24),
         Reachable(253, 253), nullptr, "free 192.168.0.1", Dots({"192.168.0.253"}, 1, 15)},
        {"/23: .255 is a host, and the octet wraps without a carry", On(Host(254), 23),
         Reachable(255, 255), nullptr, "free 192.168.0.1", Dots({"192.168.0.255"}, 1, 15)},
        {"/25: the octet wraps at the subnet's end", On(Host(126), 25), Reachable(125, 125), nullptr,
         "free 192.168.0.1", Dots({"192.168.0.125"}, 1, 15)},
        {"/30: one candidate", On(Ip(10, 8, 0, 2), 30), {Entry(Ip(10, 8, 0, 1), kNeighbourReachable)},
         nullptr, "none free 10.8.0.1", {"10.8.0.1"}},
        {"/31: unchecked", On(Ip(10, 8, 0, 0), 31), {}, nullptr, "unchecked 10.8.0.255", {}},
        {"a PC on its subnet's broadcast address: the suggestion lies outside, unchecked",
         On(Ip(10, 8, 0, 3), 30), {}, nullptr, "unchecked 10.8.0.5", {}},
        {"/32: unchecked", On(Host(10), 32), {}, nullptr, "unchecked 192.168.0.9", {}},
        {"no link known: unchecked", Link{}, {}, nullptr, "unchecked 0.0.0.1", {}},
        {"the table cannot be read", kWired, {}, nullptr, "unchecked 192.168.0.3", kAsked24, false},
        {"a candidate whose datagram did not leave is not taken", kWired, {},
         ARRANGE(sendErrors[0] = 10065), "free 192.168.0.4", kAsked24},
        {"no datagram leaves", kWired, {},
         [](ScriptedPort& p) {
             for (std::size_t i = 0; i < 16; ++i) p.sendErrors[i] = 10051;
         },
         "unchecked 192.168.0.3", kAsked24},
        {"the socket cannot be bound to the link", kWired, {}, ARRANGE(bindError = 10049),
         "unchecked 192.168.0.3", {}},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ScriptedPort port;
        ScriptedNeighbours table(port);
        table.entries = r.table;
        table.readable = r.readable;
        if (r.arrange) r.arrange(port);
        const FreeAddress found =
            FindFreeAddress(port, table, r.link, [&](std::uint32_t ms) { port.nowMs += ms; });
        const char* outcome[] = {"free ", "none free ", "unchecked "};
        EXPECT_EQ(r.found, outcome[static_cast<int>(found.outcome)] + Dotted(found.address));
        Names asked;
        for (const SentDatagram& d : port.sent) {
            asked.push_back(Dotted(d.address));
            EXPECT_EQ(std::vector<std::uint8_t>(1, 0), d.bytes);
            EXPECT_EQ(PortToNetwork(9), d.port);
            EXPECT_EQ(r.link.address, d.from);
        }
        EXPECT_EQ(r.asked, asked);
        const bool sent = port.sent.size() > port.sendErrors.size();
        EXPECT_EQ(sent ? std::vector<std::uint64_t>{1000} : std::vector<std::uint64_t>{}, table.readsAt);
        EXPECT_TRUE(port.Balanced()) << port.Report();
    }
}

TEST(TypedAddress, IsRefusedForAnyDeviceTheLinksOwnAddressesAndThePcsAndOnlyAskedInsideTheSubnet) {
    const Link k25 = On(Host(2), 25);
    const Link k30 = On(Ip(10, 8, 0, 2), 30);
    const char* uses[] = {"usable", "in use", "network", "broadcast", "pc", "unchecked"};
    const struct {
        const char* what;
        Link link;
        std::uint32_t address;
        bool held;
        bool readable;
        const char* use;
        bool asked;
    } rows[] = {
        {"/24 nobody", kWired, Host(3), false, true, "usable", true},
        {"/24 a device", kWired, Host(3), true, true, "in use", true},
        {"/24 network", kWired, Host(0), false, true, "network", false},
        {"/24 broadcast", kWired, Host(255), false, true, "broadcast", false},
        {"/24 the PC's", kWired, Host(2), false, true, "pc", false},
        {"/25 broadcast", k25, Host(127), false, true, "broadcast", false},
        {"/25 the upper half is outside", k25, Host(128), true, true, "unchecked", false},
        {"/30 network", k30, Ip(10, 8, 0, 0), false, true, "network", false},
        {"/30 broadcast", k30, Ip(10, 8, 0, 3), false, true, "broadcast", false},
        {"/30 a device", k30, Ip(10, 8, 0, 1), true, true, "in use", true},
        {"/31 has no network or broadcast address", On(Ip(10, 8, 0, 0), 31), Ip(10, 8, 0, 1), false,
         true, "usable", true},
        {"the table cannot be read", kWired, Host(3), true, false, "unchecked", true},
        {"no link known", Link{}, Host(3), true, true, "unchecked", false},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.what);
        ScriptedPort port;
        ScriptedNeighbours table(port);
        if (r.held) table.entries = {Entry(r.address, kNeighbourReachable)};
        table.readable = r.readable;
        const AddressUse use =
            CheckTypedAddress(port, table, r.address, r.link, [&](std::uint32_t ms) { port.nowMs += ms; });
        EXPECT_STREQ(r.use, uses[static_cast<int>(use)]);
        EXPECT_EQ(r.asked ? 1u : 0u, port.sent.size());
        EXPECT_EQ(r.asked ? 1u : 0u, table.readsAt.size());
        EXPECT_TRUE(port.Balanced()) << port.Report();
    }
}

}  // namespace
}  // namespace net::fake
