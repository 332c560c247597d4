// The narrow seam between the discovery protocol and the platform's sockets.
//
// The protocol code never includes a platform header: it reaches Winsock (on
// Windows) or BSD sockets (on Linux) only through SocketPort. Every failure is
// reported in Windows sockets numbering on both platforms, so callers and
// tests see the same numbers everywhere.
#pragma once

#include <cstddef>
#include <cstdint>

namespace net {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kInvalidSocket = -1;

// Windows sockets error numbers that the protocol code and its callers act on.
constexpr int kErrFault = 10014;        // WSAEFAULT: interface list does not fit
constexpr int kErrMessageSize = 10040;  // WSAEMSGSIZE: datagram longer than the buffer
constexpr int kErrNetUnreachable = 10051;
constexpr int kErrNoBuffers = 10055;     // WSAENOBUFS: out of memory or system resources
constexpr int kErrTimedOut = 10060;      // WSAETIMEDOUT: nothing answered
constexpr int kErrHostUnreachable = 10065;  // WSAEHOSTUNREACH

// Interface flags in the Winsock encoding, whatever the platform reports.
constexpr std::uint32_t kIffUp = 0x01;
constexpr std::uint32_t kIffBroadcast = 0x02;
constexpr std::uint32_t kIffLoopback = 0x04;
constexpr std::uint32_t kIffPointToPoint = 0x08;
constexpr std::uint32_t kIffMulticast = 0x10;

// One entry of the interface list. Addresses are 32-bit values in network
// byte order, exactly as they sit in an in_addr.
struct InterfaceEntry {
    std::uint32_t flags;
    std::uint32_t address;
    std::uint32_t netmask;
};

// Size of one INTERFACE_INFO record; the list query is sized in bytes of these.
constexpr std::size_t kInterfaceInfoSize = 76;

// How one TCP connection attempt ended.
enum class ConnectOutcome {
    kAccepted,  // the connection was made (and is closed again)
    kRefused,   // the device answered with a reset: nothing listens on the port
    kNoAnswer,  // nothing came back within the attempt's time
    kFailed,    // a socket call failed; LastError says which
};

class SocketPort {
public:
    virtual ~SocketPort() = default;

    // WSAStartup(1.1): 0 on success, otherwise the error number it returned.
    virtual int Startup() = 0;
    virtual void Cleanup() = 0;
    // WSAGetLastError after a failed call below.
    virtual int LastError() = 0;

    // socket(AF_INET, SOCK_DGRAM, 0); kInvalidSocket on failure.
    virtual SocketHandle OpenUdp() = 0;
    // setsockopt(SOL_SOCKET, SO_BROADCAST, 1); 0 or -1.
    virtual int EnableBroadcast(SocketHandle socket) = 0;
    // SIO_GET_INTERFACE_LIST into a buffer of bufferBytes bytes: writes at most
    // bufferBytes / kInterfaceInfoSize entries in the platform's order and sets
    // *count. Fails (-1, LastError kErrFault) when the list does not fit.
    virtual int ReadInterfaceList(SocketHandle socket, std::size_t bufferBytes,
                                  InterfaceEntry* entries, std::size_t* count) = 0;
    // gethostname + gethostbyname: the first IPv4 address of the own host
    // name, network order. 0 or -1.
    virtual int HostAddress(std::uint32_t* address) = 0;
    // bind(INADDR_ANY, port 0); 0 or -1.
    virtual int BindAny(SocketHandle socket) = 0;
    // Ties the socket to the PC's link that holds address (network order),
    // port 0, so that a limited broadcast sent on it leaves through that link
    // and broadcasts arriving there are received on it. Winsock does both for
    // a socket bound to the interface's address; elsewhere the socket is tied
    // to the link's device and bound to any address. 0 or -1.
    virtual int BindToInterface(SocketHandle socket, std::uint32_t address) = 0;
    // sendto; address and port in network order. Bytes sent or -1.
    virtual int SendTo(SocketHandle socket, const std::uint8_t* data, std::size_t length,
                       std::uint32_t address, std::uint16_t port) = 0;
    // One select for readability over count sockets: the number readable,
    // each marked with a non-zero ready[i]; 0 timed out; -1 failed.
    virtual int WaitReadable(const SocketHandle* sockets, std::size_t count,
                             std::uint32_t timeoutMs, std::uint8_t* ready) = 0;
    // recvfrom into capacity bytes; sender port in host order. Bytes received,
    // or -1; a datagram longer than capacity fails with kErrMessageSize. A
    // failed receive may still have written the buffer.
    virtual int ReceiveFrom(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                            std::uint16_t* senderPort) = 0;
    virtual void Close(SocketHandle socket) = 0;

    // One TCP connection attempt to address:port (both network order) from
    // the local address from (network order; 0: the routes choose), waiting
    // at most timeoutMs for the outcome. Whatever the outcome, nothing stays
    // open: an accepted connection is closed at once, unused.
    virtual ConnectOutcome TryConnect(std::uint32_t from, std::uint32_t address, std::uint16_t port,
                                      std::uint32_t timeoutMs) = 0;

    // Starts body on a new detached thread (_beginthread on Windows). false when
    // the thread could not be started.
    virtual bool StartThread(void (*body)()) = 0;
    // Monotonic milliseconds, for the upper bound on a cycle's length.
    virtual std::uint64_t NowMs() = 0;
};

// The platform's own port (Winsock or POSIX, chosen at link time).
SocketPort& PlatformPort();
// The port every protocol operation uses. Tests install their own; nullptr
// restores the platform's.
SocketPort& ActivePort();
void SetActivePort(SocketPort* port);

}  // namespace net
