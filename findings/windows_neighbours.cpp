#include "findings/windows_neighbours.h"

// The socket headers first: iphlpapi.h needs their address types.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>

#include <algorithm>
#include <atomic>

namespace findings {
namespace {

// Stands in for the System32-only loader until it is shared: a library by
// name from System32 alone, never from the program's folder.
HMODULE LoadSystemLibrary(const wchar_t* name) {
    return LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
}

struct IpHelper {
    decltype(&GetIpNetTable2) getTable = nullptr;
    decltype(&FreeMibTable) freeTable = nullptr;
    IpHelper() {
        // Stays loaded: the process reads it again at the next check.
        if (const HMODULE module = LoadSystemLibrary(L"iphlpapi.dll")) {
            getTable = reinterpret_cast<decltype(getTable)>(
                reinterpret_cast<void (*)()>(GetProcAddress(module, "GetIpNetTable2")));
            freeTable = reinterpret_cast<decltype(freeTable)>(
                reinterpret_cast<void (*)()>(GetProcAddress(module, "FreeMibTable")));
        }
    }
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
