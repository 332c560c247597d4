// A temporary address for the converter that no device on its link holds
// yet. The candidates are the suggestion next to the PC's address and the
// ones after it by the same rule; the link is asked which of them a device
// answers ARP for: a one-byte datagram to each makes the system resolve
// them, and the neighbour table tells, about a second later, who answered.
#pragma once

#include <cstdint>
#include <vector>

#include "net/device_table.h"
#include "net/idle.h"
#include "net/neighbour_table.h"
#include "net/socket_port.h"

namespace net {

// UDP discard: a port no converter protocol uses.
constexpr std::uint16_t kDiscardPort = 9;
// How long the system is given to resolve the candidates.
constexpr std::uint32_t kNeighbourWaitMs = 1000;
constexpr std::size_t kMaxCandidates = 16;

// The address suggested next to the PC's (pc and netmask in network order,
// the result too). Only the last octet moves: one up, or one down when that
// is the subnet's broadcast address, or two up when it is the subnet's own.
std::uint32_t SuggestedAddress(std::uint32_t pc, std::uint32_t netmask);

struct Candidates {
    // false: the suggestion alone, taken unasked (a /31 or /32 link, a
    // suggestion outside the link's subnet, or no link known).
    bool checkable = false;
    // The suggestion first, then the next ones with the last octet moving
    // and wrapping inside the subnet; never the PC's address, the subnet's
    // own or its broadcast address; at most kMaxCandidates.
    std::vector<std::uint32_t> addresses;
};
Candidates AddressCandidates(const Link& link);

enum class FreeOutcome {
    kFree,       // address: the first candidate nobody answered for
    kNoneFree,   // a device answered for every candidate; address: the suggestion
    kUnchecked,  // the link could not be asked; address: the suggestion
};

struct FreeAddress {
    FreeOutcome outcome = FreeOutcome::kUnchecked;
    std::uint32_t address = 0;
};

// Asks link (the PC's address and netmask on the converter's link) which
// candidates are held, through a socket bound to the link, and reads table
// once kNeighbourWaitMs after the datagrams left; idle runs meanwhile. A
// candidate whose datagram could not be sent is never taken as free.
FreeAddress FindFreeAddress(SocketPort& port, NeighbourTable& table, const Link& link,
                            const Idle& idle);

// What stands against giving the converter an address on link.
enum class AddressUse {
    kUsable,            // nothing: no rule refuses it and, where asked, nobody answered for it
    kInUse,             // a device answers for it
    kNetworkAddress,    // the link's subnet's own address
    kBroadcastAddress,  // the link's subnet's broadcast address
    kPcAddress,         // the PC's own address on the link
    kUnchecked,         // outside the link's subnet, or the link could not be asked
};

// The rules alone, without the network: the link's network and broadcast
// addresses (a /31 or /32 has none; only inside the link's subnet), then the
// PC's own. kUsable when none applies, kUnchecked for an unknown link.
AddressUse ReservedOnLink(std::uint32_t address, const Link& link);

// The rules, then, for an address inside the link's subnet, the link asked
// as FindFreeAddress asks it.
AddressUse CheckTypedAddress(SocketPort& port, NeighbourTable& table, std::uint32_t address,
                             const Link& link, const Idle& idle);

}  // namespace net
