#include "net/posix_neighbours.h"

#include <arpa/inet.h>
#include <net/if_arp.h>

#include <cstdio>

namespace net {

bool ProcArpTable::Read(std::vector<NeighbourEntry>* entries) {
    entries->clear();
    std::FILE* file = std::fopen("/proc/net/arp", "re");
    if (file == nullptr) return false;
    char line[256];
    // The first line names the columns.
    bool ok = std::fgets(line, sizeof line, file) != nullptr;
    while (ok && std::fgets(line, sizeof line, file) != nullptr) {
        char address[64];
        unsigned type = 0;
        unsigned flags = 0;
        unsigned mac[6] = {};
        if (std::sscanf(line, "%63s 0x%x 0x%x %x:%x:%x:%x:%x:%x", address, &type, &flags, &mac[0],
                        &mac[1], &mac[2], &mac[3], &mac[4], &mac[5]) != 9) {
            continue;
        }
        NeighbourEntry entry;
        in_addr value{};
        if (inet_pton(AF_INET, address, &value) != 1) continue;
        entry.address = value.s_addr;
        entry.state = (flags & ATF_PERM)  ? kNeighbourPermanent
                      : (flags & ATF_COM) ? kNeighbourReachable
                                          : kNeighbourIncomplete;
        for (int i = 0; i < 6; ++i) entry.mac[i] = static_cast<std::uint8_t>(mac[i]);
        entries->push_back(entry);
    }
    ok = ok && !std::ferror(file);
    std::fclose(file);
    return ok;
}

}  // namespace net
