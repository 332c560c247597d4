// After a scan that found no converter: an adapter plugged in moments ago has
// no IPv4 address for about 10 s (Windows tries DHCP for about 6 s, then takes
// a self-assigned one; the link's negotiation and the duplicate-address check
// come on top). Rather than tell the user to wait, the program waits, and
// scans again once an address is there.
#pragma once

#include <cstdint>
#include <functional>

#include "findings/facts.h"
#include "net/idle.h"
#include "net/socket_port.h"

namespace findings {

// The adapters are read this often while waiting...
constexpr std::uint32_t kAddressPollMs = 500;
// ...for at most this long after the scan's end.
constexpr std::uint64_t kAddressWaitLimitMs = 15000;

// Whether an address may be on its way: Windows lists a connected adapter
// other than a tunnel without a usable IPv4 address, or none connected at
// all. An adapter list that could not be read says neither.
bool AddressMayBeOnItsWay(const Facts& facts);

struct AddressWait {
    bool waited = false;    // there was an address to wait for
    bool appeared = false;  // a connected adapter got a usable address it did not have
    std::uint64_t waitedMs = 0;  // from the scan's end to that address, or to the limit
};

// Reads the adapters; where an address may be on its way, calls `waiting`
// once, then reads them again every kAddressPollMs on the port's clock until
// a connected adapter has a usable IPv4 address that none had at the first
// read, or until scanEndMs + limitMs. `idle` runs between the reads.
AddressWait WaitForAddress(FactsSource& source, net::SocketPort& clock, std::uint64_t scanEndMs,
                           const net::Idle& idle, const std::function<void()>& waiting,
                           std::uint64_t limitMs = kAddressWaitLimitMs);

// The whole seconds the finding says the program waited.
int WaitedSeconds(const AddressWait& wait);

}  // namespace findings
