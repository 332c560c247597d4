// The neighbour table as Windows keeps it (GetIpNetTable2), for the free
// temporary address and the check of a typed one. iphlpapi.dll is mapped
// from System32 at the first read, never imported.
#pragma once

#include <vector>

#include "net/neighbour_table.h"

namespace findings {

class WindowsNeighbourTable : public net::NeighbourTable {
public:
    // Every IPv4 row; false when the library or its entries cannot be had or
    // the read fails.
    bool Read(std::vector<net::NeighbourEntry>* entries) override;
};

// The table the program asks: Windows', unless a test set one of its own
// (nullptr sets Windows' back).
net::NeighbourTable& ActiveNeighbourTable();
void SetNeighbourTable(net::NeighbourTable* table);

}  // namespace findings
