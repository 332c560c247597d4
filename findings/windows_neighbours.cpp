#include "findings/windows_neighbours.h"

// The socket headers first: iphlpapi.h needs their address types.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <algorithm>
#include <atomic>

#include "win/system_library.h"

namespace findings {
namespace {

// Looked up at the first read and kept: the process reads again at the next check.
struct IpHelper {
    decltype(&GetIpNetTable2) getTable =
        win::SystemEntry<decltype(&GetIpNetTable2)>(L"iphlpapi.dll", "GetIpNetTable2");
    decltype(&FreeMibTable) freeTable =
        win::SystemEntry<decltype(&FreeMibTable)>(L"iphlpapi.dll", "FreeMibTable");
};

std::atomic<net::NeighbourTable*> g_table{nullptr};

}  // namespace

bool WindowsNeighbourTable::Read(std::vector<net::NeighbourEntry>* entries) {
    entries->clear();
    static const IpHelper helper;
    MIB_IPNET_TABLE2* table = nullptr;
    if (!helper.getTable || !helper.freeTable || helper.getTable(AF_INET, &table) != NO_ERROR) {
        return false;
    }
    for (ULONG i = 0; i < table->NumEntries; ++i) {
        const MIB_IPNET_ROW2& row = table->Table[i];
        if (row.Address.si_family != AF_INET) continue;
        net::NeighbourEntry entry;
        entry.address = row.Address.Ipv4.sin_addr.s_addr;
        entry.state = static_cast<int>(row.State);
        std::copy_n(row.PhysicalAddress, std::min<ULONG>(row.PhysicalAddressLength, 6), entry.mac);
        entries->push_back(entry);
    }
    helper.freeTable(table);
    return true;
}

net::NeighbourTable& ActiveNeighbourTable() {
    static WindowsNeighbourTable windows;
    net::NeighbourTable* table = g_table.load(std::memory_order_acquire);
    return table != nullptr ? *table : windows;
}

void SetNeighbourTable(net::NeighbourTable* table) { g_table.store(table, std::memory_order_release); }

}  // namespace findings
