// cs-scan: the discovery protocol on the command line, for the network tests,
// the benchmark and the demo. It drives DiscoveryClient exactly as the flows
// do (ScanStart, ScanPoll at once and then every 100 ms) and prints what the
// protocol left behind in a stable, line-per-fact format.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include "net/device_table.h"
#include "net/discovery_client.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#else
#include "tools/common/netns_guard.h"
#endif

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: cs-scan scan\n"
                 "       cs-scan assign NEW-ADDRESS MAC\n"
                 "       cs-scan subnet [TARGET]\n");
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

void PrintRecord(const char* kind, int index, const net::DeviceRecord& record) {
    char name[net::kNameTextSize];
    char address[net::kAddressTextSize];
    char mac[net::kMacTextSize];
    net::ReadConverterName(record, name);
    net::FormatAddress(record, address);
    net::FormatMac(record, mac);
    const unsigned status = (static_cast<unsigned>(record.bytes[net::kStatusOffset]) << 8) |
                            record.bytes[net::kStatusOffset + 1];
    std::printf("%s %d address=%s mac=%s status=%u name=%s\n", kind, index, address, mac, status,
                Printable(name).c_str());
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
    if (count > net::kDeviceTableCapacity) count = net::kDeviceTableCapacity - 1;
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

int Assign(const char* address, const char* mac) {
    net::DiscoveryClient client;
    int result = client.AssignExchange(address, mac);
    int count = net::g_scanState.count;
    if (count > net::kDeviceTableCapacity) count = net::kDeviceTableCapacity;
    if (count < 0) count = 0;
    std::printf("assign result=%d count=%d\n", result, count);
    const net::DeviceRecord* table = &client.DeviceTable();
    for (int i = 0; i < count; ++i) PrintRecord("reply", i, table[i]);
    return 0;
}

int Subnet(const char* target) {
    net::DiscoveryClient client;
    char address[net::kAddressTextSize] = "";
    char netmask[net::kAddressTextSize] = "";
    int result = client.SubnetTest(address, netmask, target);
    std::printf("subnet result=%d address=%s netmask=%s\n", result, address, netmask);
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
    if (command == "scan" && argc == 2) {
        rc = Scan();
    } else if (command == "assign" && argc == 4) {
        rc = Assign(argv[2], argv[3]);
    } else if (command == "subnet" && (argc == 2 || argc == 3)) {
        rc = Subnet(argc == 3 ? argv[2] : nullptr);
    } else {
        return Usage();
    }
    std::fflush(stdout);
    return rc;
}
