#include "findings/address_wait.h"

#include <algorithm>
#include <set>

namespace findings {
namespace {

// The usable addresses of the connected adapters.
std::set<std::uint32_t> ConnectedAddresses(const Facts& facts) {
    std::set<std::uint32_t> addresses;
    for (const AdapterFacts& adapter : facts.adapters) {
        if (!adapter.connected) continue;
        for (const AdapterFacts::Address& ip : adapter.ipv4) addresses.insert(ip.address);
    }
    return addresses;
}

Facts Adapters(FactsSource& source) { return ReadFacts(source, {}, false); }

}  // namespace

bool AddressMayBeOnItsWay(const Facts& facts) {
    if (!facts.adaptersKnown) return false;
    bool anyConnected = false;
    for (const AdapterFacts& adapter : facts.adapters) {
        if (!adapter.connected) continue;
        anyConnected = true;
        // A tunnel without IPv4 (Teredo, say) is nothing the cable goes into.
        if (adapter.ipv4.empty() && adapter.kind != AdapterKind::kTunnel) return true;
    }
    return !anyConnected;
}

AddressWait WaitForAddress(FactsSource& source, net::SocketPort& clock, std::uint64_t scanEndMs,
                           const net::Idle& idle, const std::function<void()>& waiting,
                           std::uint64_t limitMs) {
    AddressWait wait;
    const Facts first = Adapters(source);
    if (!AddressMayBeOnItsWay(first)) return wait;
    wait.waited = true;
    waiting();
    const std::set<std::uint32_t> had = ConnectedAddresses(first);
    const std::uint64_t deadline = scanEndMs + limitMs;
    // A read for every pause that fits, and no more should the clock stall.
    for (std::uint64_t reads = limitMs / kAddressPollMs + 1; reads > 0; --reads) {
        net::IdleUntil(clock, std::min(clock.NowMs() + kAddressPollMs, deadline), idle);
        const std::set<std::uint32_t> now = ConnectedAddresses(Adapters(source));
        wait.appeared = std::any_of(now.begin(), now.end(),
                                    [&had](std::uint32_t address) { return had.count(address) == 0; });
        const std::uint64_t at = clock.NowMs();
        wait.waitedMs = at > scanEndMs ? at - scanEndMs : 0;
        if (wait.appeared || at >= deadline) break;
    }
    return wait;
}

int WaitedSeconds(const AddressWait& wait) { return static_cast<int>((wait.waitedMs + 500) / 1000); }

}  // namespace findings
