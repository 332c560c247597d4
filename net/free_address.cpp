#include "net/free_address.h"

#include <algorithm>
#include <cstring>

#include "net/address_text.h"
#include "net/exchange.h"
#include "net/socket_guard.h"

namespace net {
namespace {

bool InSubnet(std::uint32_t address, const Link& link) {
    return (address & link.netmask) == (link.address & link.netmask);
}

bool HasMac(const NeighbourEntry& entry) {
    return std::any_of(std::begin(entry.mac), std::end(entry.mac), [](std::uint8_t b) { return b != 0; });
}

enum class Answer { kNobody, kDevice, kUnasked };

// One datagram to each address through a socket bound to the link, then
// the table read once kNeighbourWaitMs later. false when the link cannot be
// asked at all (no socket, no datagram left, no table).
bool AskLink(SocketPort& port, NeighbourTable& table, const Link& link,
             const std::vector<std::uint32_t>& addresses, const Idle& idle,
             std::vector<Answer>* answers) {
    SocketLibrary library(port);
    if (!library.started()) return false;
    UdpSocket socket(port);
    if (!socket.is_open() || port.BindToInterface(socket.get(), link.address) != 0) return false;
    const std::uint8_t nothing[1] = {0};
    answers->assign(addresses.size(), Answer::kUnasked);
    bool asked = false;
    for (std::size_t i = 0; i < addresses.size(); ++i) {
        if (port.SendTo(socket.get(), nothing, sizeof nothing, addresses[i],
                        PortToNetwork(kDiscardPort)) >= 0) {
            (*answers)[i] = Answer::kNobody;
            asked = true;
        }
    }
    if (!asked) return false;
    IdleUntil(port, port.NowMs() + kNeighbourWaitMs, idle);
    std::vector<NeighbourEntry> entries;
    if (!table.Read(&entries)) return false;
    // An address is held when any entry, on any link, says a device answers
    // for it: a doubt never makes an address free.
    for (const NeighbourEntry& entry : entries) {
        if (!AnswersFor(entry)) continue;
        for (std::size_t i = 0; i < addresses.size(); ++i) {
            if (addresses[i] == entry.address && (*answers)[i] == Answer::kNobody) {
                (*answers)[i] = Answer::kDevice;
            }
        }
    }
    return true;
}

}  // namespace

bool AnswersFor(const NeighbourEntry& entry) {
    switch (entry.state) {
        case kNeighbourReachable:
        case kNeighbourPermanent: return true;
        case kNeighbourStale:
        case kNeighbourDelay:
        case kNeighbourProbe: return HasMac(entry);
        default: return false;
    }
}

std::uint32_t SuggestedAddress(std::uint32_t pcAddress, std::uint32_t netmask) {
    const std::uint32_t pc = HostOrder(pcAddress);
    const std::uint32_t hostBits = ~HostOrder(netmask);
    // The last octet wraps on its own; nothing carries into the third.
    const auto lastOctetPlus = [pc](std::uint32_t delta) {
        return (pc & 0xFFFFFF00u) | ((pc + delta) & 0xFFu);
    };
    std::uint32_t suggestion = lastOctetPlus(1);
    // The broadcast test comes first, so a netmask without host bits always
    // gives the octet below the PC's.
    if ((suggestion & hostBits) == hostBits) {
        suggestion = lastOctetPlus(0xFFFFFFFFu);
    } else if ((suggestion & hostBits) == 0) {
        suggestion = lastOctetPlus(2);
    }
    return NetworkOrder(suggestion);
}

Candidates AddressCandidates(const Link& link) {
    Candidates candidates;
    const std::uint32_t suggestion = SuggestedAddress(link.address, link.netmask);
    candidates.addresses.push_back(suggestion);
    const std::uint32_t hostBits = ~HostOrder(link.netmask);
    // On a /31 or /32 link the suggestion always lies outside: there is no
    // address to spare beside the PC's.
    if (!link.known || !InSubnet(suggestion, link)) return candidates;
    candidates.checkable = true;
    candidates.addresses.clear();
    // The last octet moves inside the subnet: in a subnet smaller than 256
    // addresses it wraps at the subnet's end.
    const std::uint32_t moving = hostBits & 0xFFu;
    std::uint32_t c = HostOrder(suggestion);
    do {
        if (ReservedOnLink(NetworkOrder(c), link) == AddressUse::kUsable) {
            candidates.addresses.push_back(NetworkOrder(c));
        }
        c = (c & ~moving) | ((c + 1) & moving);
    } while (c != HostOrder(suggestion) && candidates.addresses.size() < kMaxCandidates);
    return candidates;
}

FreeAddress FindFreeAddress(SocketPort& port, NeighbourTable& table, const Link& link,
                            const Idle& idle) {
    const Candidates candidates = AddressCandidates(link);
    FreeAddress found;
    found.address = SuggestedAddress(link.address, link.netmask);
    std::vector<Answer> answers;
    if (!candidates.checkable || candidates.addresses.empty() ||
        !AskLink(port, table, link, candidates.addresses, idle, &answers)) {
        return found;
    }
    const auto nobody = std::find(answers.begin(), answers.end(), Answer::kNobody);
    if (nobody == answers.end()) {
        found.outcome = FreeOutcome::kNoneFree;
        return found;
    }
    found.outcome = FreeOutcome::kFree;
    found.address = candidates.addresses[static_cast<std::size_t>(nobody - answers.begin())];
    return found;
}

AddressUse ReservedOnLink(std::uint32_t address, const Link& link) {
    if (!link.known) return AddressUse::kUnchecked;
    const std::uint32_t host = ~HostOrder(link.netmask);
    // A /31 or /32 has no network or broadcast address to keep free.
    if (host >= 3 && InSubnet(address, link)) {
        if ((HostOrder(address) & host) == 0) return AddressUse::kNetworkAddress;
        if ((HostOrder(address) & host) == host) return AddressUse::kBroadcastAddress;
    }
    if (address == link.address) return AddressUse::kPcAddress;
    return AddressUse::kUsable;
}

AddressUse CheckTypedAddress(SocketPort& port, NeighbourTable& table, std::uint32_t address,
                             const Link& link, const Idle& idle) {
    const AddressUse reserved = ReservedOnLink(address, link);
    if (reserved != AddressUse::kUsable) return reserved;
    if (!InSubnet(address, link)) return AddressUse::kUnchecked;
    std::vector<Answer> answers;
    if (!AskLink(port, table, link, {address}, idle, &answers) || answers[0] == Answer::kUnasked) {
        return AddressUse::kUnchecked;
    }
    return answers[0] == Answer::kDevice ? AddressUse::kInUse : AddressUse::kUsable;
}

}  // namespace net
