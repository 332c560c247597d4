// The socket port on Windows: the protocol core's narrow port on Winsock 1.1.
// Winsock already speaks the error numbering the protocol core expects, so
// failures pass through WSAGetLastError unchanged.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <process.h>

#include <cstring>
#include <new>
#include <vector>

#include "net/socket_port.h"

namespace net {
namespace {

static_assert(sizeof(INTERFACE_INFO) == kInterfaceInfoSize,
              "the interface list is sized in INTERFACE_INFO records");

std::uint32_t Ipv4Of(const sockaddr_gen& address) {
    if (address.Address.sa_family != AF_INET) return 0;
    return address.AddressIn.sin_addr.s_addr;
}

struct ThreadStart {
    void (*body)();
};

void __cdecl RunThread(void* argument) {
    ThreadStart start = *static_cast<ThreadStart*>(argument);
    delete static_cast<ThreadStart*>(argument);
    start.body();
}

SOCKET AsSocket(SocketHandle socket) { return static_cast<SOCKET>(socket); }

sockaddr_in Ipv4Address(std::uint32_t address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = address;
    a.sin_port = port;
    return a;
}

// A non-blocking connect on s: select reports success as writable and a
// failure (the reset of a refusal among them) as an exception, whose
// SO_ERROR says which.
ConnectOutcome Connect(SOCKET s, std::uint32_t from, std::uint32_t address, std::uint16_t port,
                       std::uint32_t timeoutMs) {
    if (from != 0) {
        const sockaddr_in local = Ipv4Address(from, 0);
        if (::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            return ConnectOutcome::kFailed;
        }
    }
    u_long nonBlocking = 1;
    if (::ioctlsocket(s, FIONBIO, &nonBlocking) != 0) return ConnectOutcome::kFailed;
    const sockaddr_in to = Ipv4Address(address, port);
    if (::connect(s, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) {
        return ConnectOutcome::kAccepted;
    }
    if (::WSAGetLastError() != WSAEWOULDBLOCK) {
        return ::WSAGetLastError() == WSAECONNREFUSED ? ConnectOutcome::kRefused
                                                      : ConnectOutcome::kFailed;
    }
    fd_set writable;
    fd_set failed;
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    FD_SET(s, &writable);
    FD_SET(s, &failed);
    timeval timeout;
    timeout.tv_sec = static_cast<long>(timeoutMs / 1000u);
    timeout.tv_usec = static_cast<long>((timeoutMs % 1000u) * 1000u);
    const int rc = ::select(0, nullptr, &writable, &failed, &timeout);
    if (rc == SOCKET_ERROR) return ConnectOutcome::kFailed;
    if (rc == 0) return ConnectOutcome::kNoAnswer;
    if (FD_ISSET(s, &writable)) return ConnectOutcome::kAccepted;
    int error = 0;
    int length = sizeof error;
    if (::getsockopt(s, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length) != 0) {
        return ConnectOutcome::kFailed;
    }
    if (error == WSAECONNREFUSED) return ConnectOutcome::kRefused;
    ::WSASetLastError(error != 0 ? error : WSAECONNABORTED);
    return ConnectOutcome::kFailed;
}

class WinsockPort final : public SocketPort {
public:
    int Startup() override {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(1, 1), &data);
    }
    void Cleanup() override { ::WSACleanup(); }
    int LastError() override { return ::WSAGetLastError(); }

    SocketHandle OpenUdp() override {
        SOCKET s = ::socket(AF_INET, SOCK_DGRAM, 0);
        if (s == INVALID_SOCKET) return kInvalidSocket;
        return static_cast<SocketHandle>(s);
    }

    int EnableBroadcast(SocketHandle socket) override {
        int on = 1;
        if (::setsockopt(AsSocket(socket), SOL_SOCKET, SO_BROADCAST,
                         reinterpret_cast<const char*>(&on), sizeof on) != 0) {
            return -1;
        }
        return 0;
    }

    int ReadInterfaceList(SocketHandle socket, std::size_t bufferBytes, InterfaceEntry* entries,
                          std::size_t* count) override {
        *count = 0;
        // The buffer has exactly the size asked for, so that the query fails
        // (WSAEFAULT) exactly when the caller's size is too small.
        std::vector<char> buffer;
        try {
            buffer.resize(bufferBytes);
        } catch (const std::bad_alloc&) {
            ::WSASetLastError(WSAENOBUFS);
            return -1;
        }
        DWORD returned = 0;
        if (::WSAIoctl(AsSocket(socket), SIO_GET_INTERFACE_LIST, nullptr, 0, buffer.data(),
                       static_cast<DWORD>(bufferBytes), &returned, nullptr, nullptr) != 0) {
            return -1;
        }
        std::size_t n = returned / kInterfaceInfoSize;
        if (n > bufferBytes / kInterfaceInfoSize) n = bufferBytes / kInterfaceInfoSize;
        for (std::size_t i = 0; i < n; ++i) {
            INTERFACE_INFO info;
            std::memcpy(&info, buffer.data() + i * kInterfaceInfoSize, sizeof info);
            entries[i].flags = info.iiFlags;
            entries[i].address = Ipv4Of(info.iiAddress);
            entries[i].netmask = Ipv4Of(info.iiNetmask);
        }
        *count = n;
        return 0;
    }

    int HostAddress(std::uint32_t* address) override {
        char name[260];
        if (::gethostname(name, sizeof name) != 0) return -1;
        name[sizeof name - 1] = '\0';
        const hostent* host = ::gethostbyname(name);
        if (host == nullptr) return -1;
        if (host->h_addrtype != AF_INET || host->h_length != 4 || host->h_addr_list == nullptr ||
            host->h_addr_list[0] == nullptr) {
            ::WSASetLastError(WSANO_DATA);
            return -1;
        }
        std::memcpy(address, host->h_addr_list[0], 4);
        return 0;
    }

    int BindAny(SocketHandle socket) override {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        local.sin_port = 0;
        if (::bind(AsSocket(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            return -1;
        }
        return 0;
    }

    int BindToInterface(SocketHandle socket, std::uint32_t address) override {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = address;
        local.sin_port = 0;
        if (::bind(AsSocket(socket), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
            return -1;
        }
        return 0;
    }

    int SendTo(SocketHandle socket, const std::uint8_t* data, std::size_t length,
               std::uint32_t address, std::uint16_t port) override {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = address;
        to.sin_port = port;
        int sent = ::sendto(AsSocket(socket), reinterpret_cast<const char*>(data),
                            static_cast<int>(length), 0, reinterpret_cast<const sockaddr*>(&to),
                            sizeof to);
        return sent == SOCKET_ERROR ? -1 : sent;
    }

    int WaitReadable(const SocketHandle* sockets, std::size_t count, std::uint32_t timeoutMs,
                     std::uint8_t* ready) override {
        if (count > FD_SETSIZE) {
            ::WSASetLastError(WSAEINVAL);
            return -1;
        }
        // Datagrams already queued make their sockets readable: FIONREAD says
        // so without select, which under wine costs several round trips to
        // the wineserver for every datagram of a burst of replies.
        int queuedOn = 0;
        for (std::size_t i = 0; i < count; ++i) {
            u_long queued = 0;
            ready[i] = ::ioctlsocket(AsSocket(sockets[i]), FIONREAD, &queued) == 0 && queued > 0;
            queuedOn += ready[i];
        }
        if (queuedOn > 0) return queuedOn;
        fd_set readable;
        FD_ZERO(&readable);
        for (std::size_t i = 0; i < count; ++i) FD_SET(AsSocket(sockets[i]), &readable);
        timeval timeout;
        timeout.tv_sec = static_cast<long>(timeoutMs / 1000u);
        timeout.tv_usec = static_cast<long>((timeoutMs % 1000u) * 1000u);
        const int rc = ::select(0, &readable, nullptr, nullptr, &timeout);
        if (rc == SOCKET_ERROR) return -1;
        int readableCount = 0;
        for (std::size_t i = 0; i < count; ++i) {
            ready[i] = FD_ISSET(AsSocket(sockets[i]), &readable) ? 1 : 0;
            readableCount += ready[i];
        }
        return readableCount;
    }

    int ReceiveFrom(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                    std::uint16_t* senderPort) override {
        sockaddr_in from{};
        int fromLength = sizeof from;
        int received = ::recvfrom(AsSocket(socket), reinterpret_cast<char*>(buffer),
                                  static_cast<int>(capacity), 0,
                                  reinterpret_cast<sockaddr*>(&from), &fromLength);
        // WSAEMSGSIZE arrives here as a failure with the buffer filled.
        if (received == SOCKET_ERROR) return -1;
        *senderPort = ntohs(from.sin_port);
        return received;
    }

    void Close(SocketHandle socket) override { ::closesocket(AsSocket(socket)); }

    ConnectOutcome TryConnect(std::uint32_t from, std::uint32_t address, std::uint16_t port,
                              std::uint32_t timeoutMs) override {
        SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) return ConnectOutcome::kFailed;
        const ConnectOutcome outcome = Connect(s, from, address, port, timeoutMs);
        // closesocket sets an error of its own on some paths: keep the one
        // that decided the outcome.
        const int error = ::WSAGetLastError();
        ::closesocket(s);
        ::WSASetLastError(error);
        return outcome;
    }

    bool StartThread(void (*body)()) override {
        ThreadStart* start = new (std::nothrow) ThreadStart{body};
        if (start == nullptr) return false;
        // _beginthread closes its own handle when the thread ends: detached.
        if (::_beginthread(RunThread, 0, start) == static_cast<uintptr_t>(-1)) {
            delete start;
            return false;
        }
        return true;
    }

    std::uint64_t NowMs() override { return ::GetTickCount64(); }
};

}  // namespace

SocketPort& PlatformPort() {
    // Never destroyed: a detached scan worker may still use it while the
    // process exits.
    static WinsockPort* const port = new WinsockPort();
    return *port;
}

}  // namespace net
