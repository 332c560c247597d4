// port-check: the platform socket port's own contract, on a real stack,
// where the protocol's scans cannot show it: the interface list's exact-fit
// boundary, its order and flags, a receive that is too long (what is copied
// and what is reported), the sender's port, readiness of a queued datagram,
// the thread start. Run by net_case.sh inside the PC's namespace of the
// "many interfaces" topology (lo, 192.168.0.2/24, then 10.77.1.2/24 to
// 10.77.12.2/24); it sends only to its own loopback address.
//
// Prints one line per failed check and "port-check: N failed"; exit 1 if any.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net/socket_port.h"

#ifndef _WIN32
#include "tools/common/netns_guard.h"
#endif

namespace {

int g_failed = 0;

void Check(bool ok, const std::string& what) {
    if (!ok) {
        std::printf("FAIL %s\n", what.c_str());
        ++g_failed;
    }
}

std::uint32_t Quad(int a, int b, int c, int d) {
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                                   static_cast<std::uint8_t>(c), static_cast<std::uint8_t>(d)};
    std::uint32_t value;
    std::memcpy(&value, bytes, 4);  // network order, as in an in_addr
    return value;
}

std::string Text(std::uint32_t address) {
    std::uint8_t b[4];
    std::memcpy(b, &address, 4);
    char text[20];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", b[0], b[1], b[2], b[3]);
    return text;
}

std::uint16_t Port(std::uint16_t hostOrder) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(hostOrder >> 8),
                                   static_cast<std::uint8_t>(hostOrder & 0xff)};
    std::uint16_t value;
    std::memcpy(&value, bytes, 2);
    return value;
}

constexpr std::size_t kEntries = 14;  // lo, the PC's link, twelve more

void CheckInterfaceList(net::SocketPort& port, net::SocketHandle s) {
    std::vector<net::InterfaceEntry> entries(64);
    std::size_t count = 99;
    int rc = port.ReadInterfaceList(s, 10 * net::kInterfaceInfoSize, entries.data(), &count);
    Check(rc == -1 && port.LastError() == net::kErrFault,
          "a list of 14 into 760 bytes fails with 10014 (rc " + std::to_string(rc) + ", error " +
              std::to_string(port.LastError()) + ")");
    Check(count == 0, "a failed list query reports no entries");

    rc = port.ReadInterfaceList(s, (kEntries - 1) * net::kInterfaceInfoSize + 75, entries.data(),
                                &count);
    Check(rc == -1 && port.LastError() == net::kErrFault, "one byte short of 14 entries fails");

    count = 0;
    rc = port.ReadInterfaceList(s, kEntries * net::kInterfaceInfoSize, entries.data(), &count);
    Check(rc == 0 && count == kEntries,
          "14 entries fit exactly 14 * 76 bytes (rc " + std::to_string(rc) + ", count " +
              std::to_string(count) + ")");
    if (rc != 0 || count != kEntries) return;

    Check(entries[0].address == Quad(127, 0, 0, 1) && entries[0].netmask == Quad(255, 0, 0, 0),
          "entry 0 is the loopback 127.0.0.1/255.0.0.0, got " + Text(entries[0].address));
    Check((entries[0].flags & (net::kIffUp | net::kIffLoopback)) ==
                  (net::kIffUp | net::kIffLoopback) &&
              (entries[0].flags & net::kIffBroadcast) == 0,
          "the loopback entry is up and loopback, not broadcast (flags " +
              std::to_string(entries[0].flags) + ")");
    Check(entries[1].address == Quad(192, 168, 0, 2) &&
              entries[1].netmask == Quad(255, 255, 255, 0),
          "entry 1 is the PC's link 192.168.0.2/24, got " + Text(entries[1].address));
    const std::uint32_t ethernet = net::kIffUp | net::kIffBroadcast | net::kIffMulticast;
    Check(entries[1].flags == ethernet,
          "a veth link reads as up, broadcast, multicast (0x13), got " +
              std::to_string(entries[1].flags));
    for (std::size_t i = 2; i < kEntries; ++i) {
        const int n = static_cast<int>(i) - 1;
        Check(entries[i].address == Quad(10, 77, n, 2) && entries[i].flags == ethernet,
              "entry " + std::to_string(i) + " is 10.77." + std::to_string(n) + ".2 in order, got " +
                  Text(entries[i].address));
    }
}

// The reply converter-sim sends for a converter (protocol byte 1,
// operation 1, MAC at 36, address at 44, name from 48).
std::vector<std::uint8_t> Reply(const char* name, std::uint8_t macLast, std::uint32_t address) {
    std::vector<std::uint8_t> d(116, 0);
    d[0] = 1;
    d[1] = 1;
    const std::uint8_t mac[6] = {0x02, 0, 0, 0, 0, macLast};
    std::memcpy(&d[36], mac, 6);
    std::memcpy(&d[44], &address, 4);
    std::memcpy(&d[48], name, std::strlen(name));
    return d;
}

// Against the simulator of the topology, which answers one discovery request
// with three replies in this order: 117 bytes (LONG), 115 bytes (SHORT), and
// 116 bytes from a port other than 192 (PORT).
void CheckDatagrams(net::SocketPort& port) {
    net::SocketHandle s = port.OpenUdp();
    Check(s != net::kInvalidSocket && port.EnableBroadcast(s) == 0 && port.BindAny(s) == 0,
          "a broadcast socket bound to any address");
    if (s == net::kInvalidSocket) return;
    Check(port.WaitReadable(s, 0) == 0, "nothing queued: the wait ends with 0");

    std::uint8_t request[116] = {1};
    int sent = port.SendTo(s, request, sizeof request, Quad(255, 255, 255, 255), Port(192));
    Check(sent == 116, "the broadcast request goes out whole, got " + std::to_string(sent));

    std::uint8_t buffer[200];
    std::uint16_t senderPort = 0;
    std::memset(buffer, 0xee, sizeof buffer);
    Check(port.WaitReadable(s, 5000) == 1, "the first reply makes the socket readable");
    int got = port.ReceiveFrom(s, buffer, 116, &senderPort);
    const int error = port.LastError();
    Check(got == -1 && error == net::kErrMessageSize,
          "117 bytes into 116 fail with 10040 (got " + std::to_string(got) + ", error " +
              std::to_string(error) + ")");
    const std::vector<std::uint8_t> longReply = Reply("LONG", 1, Quad(192, 168, 0, 51));
    Check(std::memcmp(buffer, longReply.data(), 116) == 0,
          "the too-long datagram's first 116 bytes are in the buffer");
    Check(buffer[116] == 0xee, "nothing is written beyond the capacity");

    std::memset(buffer, 0xee, sizeof buffer);
    Check(port.WaitReadable(s, 5000) == 1, "the second reply is readable");
    got = port.ReceiveFrom(s, buffer, 116, &senderPort);
    const std::vector<std::uint8_t> shortReply = Reply("SHORT", 2, Quad(192, 168, 0, 52));
    Check(got == 115 && std::memcmp(buffer, shortReply.data(), 115) == 0 && buffer[115] == 0xee,
          "a 115-byte datagram is received as 115 bytes (got " + std::to_string(got) + ")");
    Check(senderPort == 192, "the sender's port reads in host order: " + std::to_string(senderPort));

    Check(port.WaitReadable(s, 5000) == 1, "the third reply is readable");
    got = port.ReceiveFrom(s, buffer, 116, &senderPort);
    Check(got == 116 && std::memcmp(buffer, Reply("PORT", 3, Quad(192, 168, 0, 53)).data(), 116) == 0,
          "a whole datagram is received whole");
    Check(senderPort != 192 && senderPort != 0,
          "a reply from another port shows that port: " + std::to_string(senderPort));
    Check(port.WaitReadable(s, 0) == 0, "all read: nothing is left queued");
    port.Close(s);
}

std::atomic<int> g_threadRan{0};
void ThreadBody() { g_threadRan.store(1); }

}  // namespace

int main() {
#ifndef _WIN32
    std::string why;
    if (tools::RefuseToSend(&why)) {
        std::fprintf(stderr, "port-check: refusing to run in the machine's own network namespace (%s)\n",
                     why.c_str());
        return 2;
    }
#endif
    net::SocketPort& port = net::PlatformPort();
    Check(port.Startup() == 0, "the socket library starts");
    net::SocketHandle s = port.OpenUdp();
    Check(s != net::kInvalidSocket, "a UDP socket opens");
    Check(port.EnableBroadcast(s) == 0, "broadcast is allowed");
    CheckInterfaceList(port, s);

    std::uint32_t host = 0;
    Check(port.HostAddress(&host) == 0 && host == Quad(192, 168, 0, 2),
          "the host name resolves to 192.168.0.2 first, got " + Text(host));
    port.Close(s);

    CheckDatagrams(port);

    Check(port.StartThread(ThreadBody), "a thread starts");
    for (int i = 0; i < 5000 && g_threadRan.load() == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    Check(g_threadRan.load() == 1, "the started thread runs its body");

    const std::uint64_t first = port.NowMs();
    const std::uint64_t second = port.NowMs();
    Check(second >= first, "the clock never runs backwards");
    port.Cleanup();

    std::printf("port-check: %d failed\n", g_failed);
    return g_failed == 0 ? 0 : 1;
}
