#include "net/exchange.h"

#include <algorithm>
#include <cstring>

namespace net {

std::uint16_t PortToNetwork(std::uint16_t port) {
    const std::uint8_t bytes[2] = {static_cast<std::uint8_t>(port >> 8),
                                   static_cast<std::uint8_t>(port)};
    std::uint16_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

int RunCycles(SocketPort& port, const std::vector<LinkSocket>& sockets, const Datagram& request,
              Operation replyCode, const ReplySink& onAccepted) {
    Datagram received = {};
    // The sockets still sent on, and what one wait hears of them.
    std::vector<std::size_t> live(sockets.size());
    for (std::size_t i = 0; i < live.size(); ++i) live[i] = i;
    std::vector<SocketHandle> handles;
    std::vector<std::uint8_t> ready;
    for (int cycle = 0; cycle < kExchangeCycles; ++cycle) {
        int sendError = 0;
        handles.clear();
        std::vector<std::size_t> stillLive;
        for (const std::size_t i : live) {
            const SocketHandle socket = sockets[i].socket.get();
            if (port.SendTo(socket, request, kDatagramSize, kBroadcastAddress,
                            PortToNetwork(kConverterPort)) < 0) {
                // This link is done with; the others go on.
                sendError = FailureCode(port);
                continue;
            }
            stillLive.push_back(i);
            handles.push_back(socket);
        }
        live.swap(stillLive);
        if (live.empty()) {
            return sendError != 0 ? sendError : kErrUnknown;
        }
        ready.assign(handles.size(), 0);
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
            std::fill(ready.begin(), ready.end(), 0);
            const int readable = port.WaitReadable(handles.data(), handles.size(), timeout,
                                                   ready.data());
            if (readable < 0) {
                return FailureCode(port);
            }
            if (readable == 0) {
                break;
            }
            // One datagram from each readable socket, then wait again: a busy
            // link cannot starve a quiet one.
            for (std::size_t k = 0; k < handles.size(); ++k) {
                if (ready[k] == 0) continue;
                std::uint16_t senderPort = 0;
                const int length =
                    port.ReceiveFrom(handles[k], received, kDatagramSize, &senderPort);
                if (length < 0) {
                    return FailureCode(port);
                }
                if (AcceptReply(received, length, senderPort, replyCode)) {
                    onAccepted(received, sockets[live[k]].link);
                }
            }
        }
    }
    return 0;
}

}  // namespace net
