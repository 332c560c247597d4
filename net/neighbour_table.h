// The seam to the system's neighbour table (the ARP cache): who answered
// for which address on the PC's links. One call; the platform's readers
// live beside the platform's other reads, tests script their own.
#pragma once

#include <cstdint>
#include <vector>

namespace net {

// A neighbour's state in Windows' numbering (NL_NEIGHBOR_STATE).
enum NeighbourState : int {
    kNeighbourUnreachable = 0,
    kNeighbourIncomplete = 1,
    kNeighbourProbe = 2,
    kNeighbourDelay = 3,
    kNeighbourStale = 4,  // answered some time ago
    kNeighbourReachable = 5,
    kNeighbourPermanent = 6,
};

struct NeighbourEntry {
    std::uint32_t address = 0;  // IPv4, network order
    int state = kNeighbourUnreachable;
    std::uint8_t mac[6] = {0, 0, 0, 0, 0, 0};
};

class NeighbourTable {
public:
    virtual ~NeighbourTable() = default;
    // Every IPv4 entry of every link into *entries; false when the table
    // cannot be read.
    virtual bool Read(std::vector<NeighbourEntry>* entries) = 0;
};

// Whether a device answers for the entry's address. The state alone does
// not tell: wine reads an address nobody answers as stale with an all-zero
// MAC, so the states between only count with a MAC.
bool AnswersFor(const NeighbourEntry& entry);

}  // namespace net
