// port-check: what the platform's socket port owes the protocol on a real
// stack beyond what a scan through cs-scan shows: an interface list one byte
// short of its entries fails with 10014 (a port that dropped the last entry
// instead would lose an interface wherever the doubling buffer fits all but
// one); a datagram longer than the buffer fails with 10040 and writes nothing
// past it; 115 bytes read as 115 and the sender's port in host order. Run by
// net_checks.sh in the PC's namespace (fifteen interface entries) against
// converters answering with 117 bytes, 115 bytes and from another port, in
// that order.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "net/socket_port.h"
#ifndef _WIN32
#include "tools/common/netns_guard.h"
#endif

int main() {
#ifndef _WIN32
    std::string why;
    if (tools::RefuseToSend(&why)) {
        std::fprintf(stderr, "port-check: refusing to run in the machine's own network namespace (%s)\n",
                     why.c_str());
        return 2;
    }
#endif
    int failed = 0;
    const auto check = [&failed](bool ok, const std::string& what) {
        if (!ok) std::printf("FAIL %s\n", what.c_str());
        failed += ok ? 0 : 1;
    };
    net::SocketPort& port = net::PlatformPort();
    check(port.Startup() == 0, "the socket library starts");
    const net::SocketHandle s = port.OpenUdp();
    check(port.EnableBroadcast(s) == 0 && port.BindAny(s) == 0, "a bound broadcast socket");
    std::vector<net::InterfaceEntry> entries(15);
    std::size_t count = 99;
    const std::size_t bytes = entries.size() * net::kInterfaceInfoSize;
    check(port.ReadInterfaceList(s, bytes - 1, entries.data(), &count) == -1 &&
              port.LastError() == net::kErrFault && count == 0,
          "a list one byte short fails with 10014 and no entries");
    check(port.ReadInterfaceList(s, bytes, entries.data(), &count) == 0 && count == entries.size(),
          "a list that fits exactly is read whole: " + std::to_string(count) + " entries");

    std::uint8_t request[116] = {1};
    const std::uint8_t port192[2] = {0, 192};  // network order
    std::uint16_t to;
    std::memcpy(&to, port192, 2);
    check(port.SendTo(s, request, sizeof request, 0xFFFFFFFFu, to) == 116, "the request goes out");
    std::uint8_t buffer[200];
    std::uint16_t from = 0;
    const auto receive = [&] {
        std::memset(buffer, 0xEE, sizeof buffer);
        check(port.WaitReadable(s, 5000) == 1, "a reply arrives");
        return port.ReceiveFrom(s, buffer, 116, &from);
    };
    check(receive() == -1 && port.LastError() == net::kErrMessageSize &&
              std::memcmp(buffer + 48, "LONG", 4) == 0 && buffer[116] == 0xEE,
          "117 bytes fail with 10040, filling the buffer and nothing past it");
    check(receive() == 115 && buffer[115] == 0xEE && from == 192,
          "115 bytes from port 192 read as such, port " + std::to_string(from));
    check(receive() == 116 && from != 192 && from != 0,
          "another sender port reads as such, port " + std::to_string(from));
    port.Close(s);
    port.Cleanup();
    std::printf("port-check: %d failed\n", failed);
    return failed == 0 ? 0 : 1;
}
