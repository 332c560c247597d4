// The neighbour table on Linux, for the host build's tools and network
// checks: the same probe code reads what the kernel resolved.
#pragma once

#include <vector>

#include "net/neighbour_table.h"

namespace net {

// /proc/net/arp, its flags in Windows' states: a permanent entry is
// permanent, a complete one reachable (Linux shows no finer state there),
// any other incomplete.
class ProcArpTable final : public NeighbourTable {
public:
    bool Read(std::vector<NeighbourEntry>* entries) override;
};

}  // namespace net
