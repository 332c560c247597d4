#include "net/interface_probe.h"

#include <algorithm>

#include "net/address_text.h"
#include "net/socket_guard.h"

namespace net {

int ReadInterfaces(SocketPort& port, SocketHandle socket, std::vector<InterfaceEntry>& entries) {
    std::size_t bytes = kInterfaceListFirstBytes;
    for (;;) {
        entries.assign(bytes / kInterfaceInfoSize, InterfaceEntry{});
        std::size_t count = 0;
        if (port.ReadInterfaceList(socket, bytes, entries.data(), &count) == 0) {
            entries.resize(std::min(count, entries.size()));
            return 0;
        }
        const int error = FailureCode(port);
        if (error != kErrFault || bytes >= kInterfaceListLimitBytes) {
            entries.clear();
            return error;
        }
        bytes = std::min(bytes * 2, kInterfaceListLimitBytes);
    }
}

int InterfaceProbe(SocketPort& port, SocketHandle socket, char* address, char* netmask,
                   std::vector<InterfaceEntry>* list) {
    std::vector<InterfaceEntry> own;
    std::vector<InterfaceEntry>& entries = list != nullptr ? *list : own;
    if (const int error = ReadInterfaces(port, socket, entries)) {
        return error;
    }
    // Without a host address there is nothing to recognise the PC's interface
    // by: no candidate, and the scan goes on with the earlier texts.
    std::uint32_t host = 0;
    if (port.HostAddress(&host) != 0) {
        return 0;
    }
    for (const InterfaceEntry& entry : entries) {
        const bool usable = (entry.flags & kIffUp) != 0 && (entry.flags & kIffLoopback) == 0;
        if (!usable || entry.address == 0 || entry.address != host) {
            continue;
        }
        FormatInAddr(entry.address, address);
        // A host mask or no mask names no subnet: keep looking for an entry
        // of the same address that has one.
        if (entry.netmask != 0 && entry.netmask != 0xFFFFFFFFu) {
            FormatInAddr(entry.netmask, netmask);
            break;
        }
    }
    return 0;
}

}  // namespace net
