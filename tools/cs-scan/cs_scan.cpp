// cs-scan: the discovery protocol on the command line, for the network tests,
// the benchmark and the demo. It drives DiscoveryClient exactly as the flows
// do (ScanStart, ScanPoll at once and then every 100 ms) and prints what the
// protocol left behind in a stable, line-per-fact format.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/address_text.h"
#include "net/exchange.h"
#include "net/device_table.h"
#include "net/discovery_client.h"
#include "net/free_address.h"
#include "net/interface_probe.h"
#include "net/page_check.h"
#include "net/socket_guard.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "findings/windows_neighbours.h"
using PlatformNeighbours = findings::WindowsNeighbourTable;
#else
#include "net/posix_neighbours.h"
#include "tools/common/netns_guard.h"
using PlatformNeighbours = net::ProcArpTable;
#endif

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: cs-scan scan\n"
                 "       cs-scan interfaces\n"
                 "       cs-scan assign NEW-ADDRESS MAC [LINK-ADDRESS/NETMASK]\n"
                 "       cs-scan subnet [TARGET [LINK-ADDRESS/NETMASK]]\n"
                 "       cs-scan connect ADDRESS [LINK-ADDRESS/NETMASK]\n"
                 "       cs-scan page ADDRESS [LINK-ADDRESS/NETMASK]\n"
                 "       cs-scan free LINK-ADDRESS/NETMASK\n"
                 "       cs-scan check ADDRESS LINK-ADDRESS/NETMASK\n");
    return 2;
}

// Names are 8-bit texts from the network: anything outside printable ASCII
// (and the backslash) is written as \xHH so the output stays one clean line.
std::string Printable(const char* text) {
    std::string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
        if (*p < 0x20 || *p >= 0x7f || *p == '\\') {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", *p);
            out += escaped;
        } else {
            out += static_cast<char>(*p);
        }
    }
    return out;
}

// "A.B.C.D/M.M.M.M" of a known link, "none" otherwise.
std::string LinkText(const net::Link& link) {
    if (!link.known) return "none";
    char address[net::kAddressTextSize];
    char netmask[net::kAddressTextSize];
    net::FormatInAddr(link.address, address);
    net::FormatInAddr(link.netmask, netmask);
    return std::string(address) + "/" + netmask;
}

// The link named on the command line; false when the text names none.
bool ParseLink(const char* text, net::Link* link) {
    const char* slash = std::strchr(text, '/');
    if (slash == nullptr) return false;
    const std::string address(text, slash);
    link->known = true;
    link->address = net::InetAddr(address.c_str());
    link->netmask = net::InetAddr(slash + 1);
    return true;
}

void PrintRecord(const char* kind, int index, const net::DeviceRecord& record) {
    char name[net::kNameTextSize];
    char address[net::kAddressTextSize];
    char mac[net::kMacTextSize];
    net::ReadConverterName(record, name);
    net::FormatAddress(record, address);
    net::FormatMac(record, mac);
    const unsigned status = (static_cast<unsigned>(record.bytes[net::kStatusOffset]) << 8) |
                            record.bytes[net::kStatusOffset + 1];
    std::printf("%s %d address=%s mac=%s status=%u link=%s name=%s\n", kind, index, address, mac,
                status, LinkText(net::LinkOf(&record)).c_str(), Printable(name).c_str());
}

int Scan() {
    net::DiscoveryClient client;
    std::int32_t status = 0;
    std::int32_t count = 0;
    client.ScanStart(&status);
    int result = client.ScanPoll(&status, &count);
    while (result == 1) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        result = client.ScanPoll(&status, &count);
    }
    count = net::RecordsToRead(count);
    std::printf("scan result=%d status=%d count=%d\n", result, static_cast<int>(status),
                result == 0 ? static_cast<int>(count) : 0);
    if (result == 0) {
        const net::DeviceRecord* table = &client.DeviceTable();
        for (int i = 0; i < count; ++i) PrintRecord("device", i, table[i]);
    }
    std::printf("probe address=%s netmask=%s\n", net::g_probeResult.address,
                net::g_probeResult.netmask);
    return 0;
}

// The PC's interface list in the platform's order, as the scan reads it.
int Interfaces() {
    net::SocketPort& port = net::ActivePort();
    net::SocketLibrary library(port);
    net::UdpSocket socket(port);
    std::vector<net::InterfaceEntry> entries;
    const int error = !library.started()  ? library.error()
                      : !socket.is_open() ? net::FailureCode(port)
                                          : net::ReadInterfaces(port, socket.get(), entries);
    if (error != 0) {
        std::printf("interfaces error=%d\n", error);
        return 1;
    }
    for (std::size_t i = 0; i < entries.size(); ++i) {
        char address[net::kAddressTextSize];
        char netmask[net::kAddressTextSize];
        net::FormatInAddr(entries[i].address, address);
        net::FormatInAddr(entries[i].netmask, netmask);
        std::printf("interface %u flags=0x%02x address=%s netmask=%s\n",
                    static_cast<unsigned>(i), static_cast<unsigned>(entries[i].flags), address,
                    netmask);
    }
    return 0;
}

int Assign(const char* address, const char* mac, const net::Link& link) {
    net::DiscoveryClient client;
    int result = client.AssignExchange(address, mac, link);
    int count = net::g_scanState.count;
    if (count > net::kDeviceTableCapacity) count = net::kDeviceTableCapacity;
    if (count < 0) count = 0;
    std::printf("assign result=%d count=%d\n", result, count);
    const net::DeviceRecord* table = &client.DeviceTable();
    for (int i = 0; i < count; ++i) PrintRecord("reply", i, table[i]);
    return 0;
}

int Subnet(const char* target, const net::Link& link) {
    net::DiscoveryClient client;
    char address[net::kAddressTextSize] = "";
    char netmask[net::kAddressTextSize] = "";
    int result = client.SubnetTest(address, netmask, target, link);
    std::printf("subnet result=%d address=%s netmask=%s\n", result, address, netmask);
    return 0;
}

void Pause(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// One attempt of the page check's, to port 80.
int Connect(const char* address, const net::Link& link) {
    net::SocketPort& port = net::ActivePort();
    net::SocketLibrary library(port);
    const char* outcomes[] = {"accepted", "refused", "no-answer", "failed"};
    const net::ConnectOutcome outcome =
        port.TryConnect(link.known ? link.address : 0, net::InetAddr(address),
                        net::PortToNetwork(net::kPagePort), net::kPageAttemptMs);
    std::printf("connect outcome=%s error=%d\n", outcomes[static_cast<int>(outcome)],
                outcome == net::ConnectOutcome::kFailed ? net::FailureCode(port) : 0);
    return 0;
}

int Page(const char* address, const net::Link& link) {
    const net::PageCheck c = net::CheckPage(net::ActivePort(), net::InetAddr(address), link, Pause);
    const char* met[] = {"accepted", "refused", "no-answer"};
    std::printf("page met=%s attempts=%d refused=%d unanswered=%d failed=%d error=%d\n",
                met[static_cast<int>(c.Met())], c.attempts, c.refused, c.unanswered, c.failed,
                c.lastError);
    return 0;
}

int Free(const net::Link& link) {
    PlatformNeighbours table;
    const net::FreeAddress found = net::FindFreeAddress(net::ActivePort(), table, link, Pause);
    const char* outcomes[] = {"free", "none-free", "unchecked"};
    char address[net::kAddressTextSize];
    net::FormatInAddr(found.address, address);
    std::printf("free outcome=%s address=%s\n", outcomes[static_cast<int>(found.outcome)], address);
    return 0;
}

int Check(const char* address, const net::Link& link) {
    PlatformNeighbours table;
    const char* uses[] = {"usable", "in-use", "network", "broadcast", "pc", "unchecked"};
    const net::AddressUse use =
        net::CheckTypedAddress(net::ActivePort(), table, net::InetAddr(address), link, Pause);
    std::printf("check use=%s\n", uses[static_cast<int>(use)]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    // Plain \n line ends, as on Linux, so the tests read one format.
    _setmode(_fileno(stdout), _O_BINARY);
#else
    std::string why;
    if (tools::RefuseToSend(&why)) {
        std::fprintf(stderr,
                     "cs-scan: refusing to send from this network namespace (%s);"
                     " run it inside a namespace that the project's scripts made\n",
                     why.c_str());
        return 2;
    }
#endif
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    int rc;
    net::Link link;
    if (command == "scan" && argc == 2) {
        rc = Scan();
    } else if (command == "interfaces" && argc == 2) {
        rc = Interfaces();
    } else if (command == "assign" && (argc == 4 || (argc == 5 && ParseLink(argv[4], &link)))) {
        rc = Assign(argv[2], argv[3], link);
    } else if (command == "subnet" && (argc <= 3 || (argc == 4 && ParseLink(argv[3], &link)))) {
        rc = Subnet(argc >= 3 ? argv[2] : nullptr, link);
    } else if ((command == "connect" || command == "page") &&
               (argc == 3 || (argc == 4 && ParseLink(argv[3], &link)))) {
        rc = command == "page" ? Page(argv[2], link) : Connect(argv[2], link);
    } else if (command == "free" && argc == 3 && ParseLink(argv[2], &link)) {
        rc = Free(link);
    } else if (command == "check" && argc == 4 && ParseLink(argv[3], &link)) {
        rc = Check(argv[2], link);
    } else {
        return Usage();
    }
    std::fflush(stdout);
    return rc;
}
