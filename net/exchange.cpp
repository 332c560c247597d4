#include "net/exchange.h"

#include <algorithm>
#include <cstring>

#include "net/socket_guard.h"

namespace net {

std::uint16_t PortToNetwork(std::uint16_t port) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(port >> 8),
                                   static_cast<std::uint8_t>(port)};
    std::uint16_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

int RunCycles(SocketPort& port, SocketHandle socket, const Datagram& request,
              Operation replyCode, const std::function<void(const Datagram&)>& onAccepted) {
    Datagram received = {};
    for (int cycle = 0; cycle < kExchangeCycles; ++cycle) {
        if (port.SendTo(socket, request, kDatagramSize, kBroadcastAddress,
                        PortToNetwork(kConverterPort)) < 0) {
            return FailureCode(port);
        }
        const std::uint64_t limit = port.NowMs() + kCycleLimitMs;
        for (;;) {
            const std::uint64_t now = port.NowMs();
            if (now >= limit) {
                break;
            }
            // Every wait gets the full second again; only the cycle's upper
            // bound may shorten it.
            const auto timeout = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(kSilenceMs, limit - now));
            const int ready = port.WaitReadable(socket, timeout);
            if (ready < 0) {
                return FailureCode(port);
            }
            if (ready == 0) {
                break;
            }
            std::uint16_t senderPort = 0;
            const int length = port.ReceiveFrom(socket, received, kDatagramSize, &senderPort);
            if (length < 0) {
                return FailureCode(port);
            }
            if (AcceptReply(received, length, senderPort, replyCode)) {
                onAccepted(received);
            }
        }
    }
    return 0;
}

}  // namespace net
