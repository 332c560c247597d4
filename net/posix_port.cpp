// The socket port on Linux: BSD sockets behind the same seam as Winsock, so
// the protocol core, the simulator tests and the benchmark run natively.
//
// Every failure is reported in Windows sockets numbering. Where Winsock has a
// number for the condition (WSABASEERR + the BSD errno) we give that number;
// a Linux errno without a Winsock counterpart becomes kUnmappedErrnoBase +
// errno, which lies outside every range Winsock uses, is never 0 and keeps
// the original errno readable for whoever debugs it.
#include <ifaddrs.h>
#include <net/if.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <pthread.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <new>
#include <vector>

#include "net/socket_port.h"

namespace net {
namespace {

constexpr int kUnmappedErrnoBase = 20000;
// getaddrinfo failures, as gethostbyname reports them on Windows.
constexpr int kErrHostNotFound = 11001;  // WSAHOST_NOT_FOUND
constexpr int kErrTryAgain = 11002;      // WSATRY_AGAIN
constexpr int kErrNoRecovery = 11003;    // WSANO_RECOVERY
constexpr int kErrNoData = 11004;        // WSANO_DATA

// The worker thread and the flow thread use the port at the same time; like
// WSAGetLastError, the last error belongs to the calling thread.
thread_local int t_lastError = 0;

int WinsockNumber(int error) {
    switch (error) {
    case EINTR: return 10004;
    case EBADF: return 10009;
    case EACCES: return 10013;
    case EPERM: return 10013;  // a firewall rule refusing the send; Winsock says access denied
    case EFAULT: return 10014;
    case EINVAL: return 10022;
    case EMFILE: return 10024;
    case ENFILE: return 10024;
    case EAGAIN: return 10035;  // also EWOULDBLOCK
    case EINPROGRESS: return 10036;
    case EALREADY: return 10037;
    case ENOTSOCK: return 10038;
    case EDESTADDRREQ: return 10039;
    case EMSGSIZE: return 10040;
    case EPROTOTYPE: return 10041;
    case ENOPROTOOPT: return 10042;
    case EPROTONOSUPPORT: return 10043;
    case ESOCKTNOSUPPORT: return 10044;
    case EOPNOTSUPP: return 10045;
    case EPFNOSUPPORT: return 10046;
    case EAFNOSUPPORT: return 10047;
    case EADDRINUSE: return 10048;
    case EADDRNOTAVAIL: return 10049;
    case ENETDOWN: return 10050;
    case ENETUNREACH: return 10051;
    case ENETRESET: return 10052;
    case ECONNABORTED: return 10053;
    case ECONNRESET: return 10054;
    case ENOBUFS: return 10055;
    case ENOMEM: return 10055;
    case EISCONN: return 10056;
    case ENOTCONN: return 10057;
    case ESHUTDOWN: return 10058;
    case ETOOMANYREFS: return 10059;
    case ETIMEDOUT: return 10060;
    case ECONNREFUSED: return 10061;
    case ELOOP: return 10062;
    case ENAMETOOLONG: return 10063;
    case EHOSTDOWN: return 10064;
    case EHOSTUNREACH: return 10065;
    case ENOTEMPTY: return 10066;
    case EUSERS: return 10068;
    case EDQUOT: return 10069;
    case ESTALE: return 10070;
    case EREMOTE: return 10071;
    default: return kUnmappedErrnoBase + error;
    }
}

int Fail(int winsockError) {
    t_lastError = winsockError;
    return -1;
}

int FailErrno() { return Fail(WinsockNumber(errno)); }

std::uint32_t WinsockFlags(unsigned int linuxFlags) {
    std::uint32_t flags = 0;
    if (linuxFlags & IFF_UP) flags |= kIffUp;
    if (linuxFlags & IFF_BROADCAST) flags |= kIffBroadcast;
    if (linuxFlags & IFF_LOOPBACK) flags |= kIffLoopback;
    if (linuxFlags & IFF_POINTOPOINT) flags |= kIffPointToPoint;
    if (linuxFlags & IFF_MULTICAST) flags |= kIffMulticast;
    return flags;
}

std::uint32_t Ipv4Of(const sockaddr* address) {
    if (address == nullptr || address->sa_family != AF_INET) return 0;
    sockaddr_in in;
    std::memcpy(&in, address, sizeof in);
    return in.sin_addr.s_addr;
}

bool IsIpv4(const ifaddrs* entry) {
    return entry->ifa_addr != nullptr && entry->ifa_addr->sa_family == AF_INET;
}

struct ThreadStart {
    void (*body)();
};

void* RunThread(void* argument) {
    ThreadStart start = *static_cast<ThreadStart*>(argument);
    delete static_cast<ThreadStart*>(argument);
    start.body();
    return nullptr;
}

std::uint64_t MonotonicMs() {
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint64_t>(now.tv_sec) * 1000u +
           static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
}

// The outcome a connection's error stands for: a reset is a refusal, any
// other error a failure in Winsock's numbering.
ConnectOutcome ConnectError(int error) {
    if (error == ECONNREFUSED) return ConnectOutcome::kRefused;
    Fail(WinsockNumber(error));
    return ConnectOutcome::kFailed;
}

// A non-blocking connect on fd, its outcome read from SO_ERROR once poll
// says the socket is writable or failed.
ConnectOutcome Connect(int fd, std::uint32_t from, std::uint32_t address, std::uint16_t port,
                       std::uint32_t timeoutMs) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (from != 0) {
        a.sin_addr.s_addr = from;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) return ConnectError(errno);
    }
    a.sin_addr.s_addr = address;
    a.sin_port = port;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0) return ConnectOutcome::kAccepted;
    if (errno != EINPROGRESS) return ConnectError(errno);
    pollfd watch{fd, POLLOUT, 0};
    // A signal must not shorten the attempt's time.
    const std::uint64_t deadline = MonotonicMs() + timeoutMs;
    for (;;) {
        const std::uint64_t now = MonotonicMs();
        const int rc = ::poll(&watch, 1, now >= deadline ? 0 : static_cast<int>(deadline - now));
        if (rc == 0) return ConnectOutcome::kNoAnswer;
        if (rc > 0) break;
        if (errno != EINTR) return ConnectError(errno);
    }
    int error = 0;
    socklen_t length = sizeof error;
    if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) return ConnectError(errno);
    return error == 0 ? ConnectOutcome::kAccepted : ConnectError(error);
}

class PosixPort final : public SocketPort {
public:
    // There is no library to start on Linux.
    int Startup() override { return 0; }
    void Cleanup() override {}
    int LastError() override { return t_lastError; }

    SocketHandle OpenUdp() override {
        int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            FailErrno();
            return kInvalidSocket;
        }
        return fd;
    }

    int EnableBroadcast(SocketHandle socket) override {
        int on = 1;
        if (::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0) {
            return FailErrno();
        }
        return 0;
    }

    int ReadInterfaceList(SocketHandle socket, std::size_t bufferBytes, InterfaceEntry* entries,
                          std::size_t* count) override {
        *count = 0;
        // Winsock needs a socket for the query; keep the same precondition.
        if (socket < 0) return Fail(10038);
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) != 0) return FailErrno();
        const std::size_t room = bufferBytes / kInterfaceInfoSize;
        std::size_t total = 0;
        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            if (IsIpv4(entry)) ++total;
        }
        if (total > room) {
            ::freeifaddrs(list);
            return Fail(kErrFault);
        }
        std::size_t written = 0;
        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            if (!IsIpv4(entry)) continue;
            entries[written].flags = WinsockFlags(entry->ifa_flags);
            entries[written].address = Ipv4Of(entry->ifa_addr);
            entries[written].netmask = Ipv4Of(entry->ifa_netmask);
            ++written;
        }
        ::freeifaddrs(list);
        *count = written;
        return 0;
    }

    int HostAddress(std::uint32_t* address) override {
        char name[260];
        if (::gethostname(name, sizeof name) != 0) return FailErrno();
        name[sizeof name - 1] = '\0';
        addrinfo hints{};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_DGRAM;
        addrinfo* found = nullptr;
        int rc = ::getaddrinfo(name, nullptr, &hints, &found);
        if (rc != 0) {
            switch (rc) {
            case EAI_AGAIN: return Fail(kErrTryAgain);
            case EAI_FAIL: return Fail(kErrNoRecovery);
            case EAI_NODATA: return Fail(kErrNoData);
            case EAI_SYSTEM: return FailErrno();
            default: return Fail(kErrHostNotFound);
            }
        }
        for (const addrinfo* entry = found; entry != nullptr; entry = entry->ai_next) {
            if (entry->ai_family == AF_INET) {
                *address = Ipv4Of(entry->ai_addr);
                ::freeaddrinfo(found);
                return 0;
            }
        }
        ::freeaddrinfo(found);
        return Fail(kErrNoData);
    }

    int BindAny(SocketHandle socket) override {
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_addr.s_addr = htonl(INADDR_ANY);
        local.sin_port = 0;
        if (::bind(static_cast<int>(socket), reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            return FailErrno();
        }
        return 0;
    }

    int BindToInterface(SocketHandle socket, std::uint32_t address) override {
        // Bound to the address, Linux would send the broadcast through the
        // address's device but deliver the socket no broadcasts. Tied to the
        // device and bound to any address it does both, as wine makes of a
        // Winsock bind to an interface's address.
        ifaddrs* list = nullptr;
        if (::getifaddrs(&list) != 0) return FailErrno();
        char device[IFNAMSIZ] = "";
        for (const ifaddrs* entry = list; entry != nullptr; entry = entry->ifa_next) {
            if (IsIpv4(entry) && Ipv4Of(entry->ifa_addr) == address && entry->ifa_name != nullptr) {
                std::strncpy(device, entry->ifa_name, sizeof device - 1);
                break;
            }
        }
        ::freeifaddrs(list);
        if (device[0] == '\0') return Fail(10049);  // WSAEADDRNOTAVAIL: no such link now
        if (::setsockopt(static_cast<int>(socket), SOL_SOCKET, SO_BINDTODEVICE, device,
                         static_cast<socklen_t>(std::strlen(device) + 1)) != 0) {
            return FailErrno();
        }
        return BindAny(socket);
    }

    int SendTo(SocketHandle socket, const std::uint8_t* data, std::size_t length,
               std::uint32_t address, std::uint16_t port) override {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = address;
        to.sin_port = port;
        ssize_t sent;
        do {
            sent = ::sendto(static_cast<int>(socket), data, length, 0,
                            reinterpret_cast<sockaddr*>(&to), sizeof to);
        } while (sent < 0 && errno == EINTR);
        if (sent < 0) return FailErrno();
        return static_cast<int>(sent);
    }

    int WaitReadable(const SocketHandle* sockets, std::size_t count, std::uint32_t timeoutMs,
                     std::uint8_t* ready) override {
        // poll, not select: select cannot watch a descriptor above FD_SETSIZE.
        // A signal must not shorten the wait, so it resumes with what is left.
        std::vector<pollfd> watch(count);
        for (std::size_t i = 0; i < count; ++i) watch[i] = {static_cast<int>(sockets[i]), POLLIN, 0};
        const std::uint64_t deadline = NowMs() + timeoutMs;
        for (;;) {
            const std::uint64_t now = NowMs();
            const int left = now >= deadline ? 0 : static_cast<int>(deadline - now);
            const int rc = ::poll(watch.data(), watch.size(), left);
            if (rc > 0) {
                int readable = 0;
                for (std::size_t i = 0; i < count; ++i) {
                    if (watch[i].revents & POLLNVAL) return Fail(10038);
                    ready[i] = watch[i].revents != 0 ? 1 : 0;
                    readable += ready[i];
                }
                return readable;
            }
            if (rc == 0) return 0;
            if (errno != EINTR) return FailErrno();
        }
    }

    int ReceiveFrom(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity,
                    std::uint16_t* senderPort) override {
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        ssize_t received;
        // MSG_TRUNC makes recvfrom return the datagram's real length, so a
        // datagram longer than the buffer is seen as Winsock sees it.
        do {
            received = ::recvfrom(static_cast<int>(socket), buffer, capacity, MSG_TRUNC,
                                  reinterpret_cast<sockaddr*>(&from), &fromLength);
        } while (received < 0 && errno == EINTR);
        if (received < 0) return FailErrno();
        *senderPort = ntohs(from.sin_port);
        if (static_cast<std::size_t>(received) > capacity) return Fail(kErrMessageSize);
        return static_cast<int>(received);
    }

    void Close(SocketHandle socket) override { ::close(static_cast<int>(socket)); }

    ConnectOutcome TryConnect(std::uint32_t from, std::uint32_t address, std::uint16_t port,
                              std::uint32_t timeoutMs) override {
        const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            FailErrno();
            return ConnectOutcome::kFailed;
        }
        const ConnectOutcome outcome = Connect(fd, from, address, port, timeoutMs);
        ::close(fd);
        return outcome;
    }

    bool StartThread(void (*body)()) override {
        ThreadStart* start = new (std::nothrow) ThreadStart{body};
        if (start == nullptr) return false;
        pthread_attr_t attributes;
        if (::pthread_attr_init(&attributes) != 0) {
            delete start;
            return false;
        }
        ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_DETACHED);
        pthread_t thread;
        int rc = ::pthread_create(&thread, &attributes, RunThread, start);
        ::pthread_attr_destroy(&attributes);
        if (rc != 0) {
            delete start;
            return false;
        }
        return true;
    }

    std::uint64_t NowMs() override { return MonotonicMs(); }
};

}  // namespace

SocketPort& PlatformPort() {
    // Never destroyed: a detached scan worker may still use it while the
    // process exits.
    static PosixPort* const port = new PosixPort();
    return *port;
}

}  // namespace net
