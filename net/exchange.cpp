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
    // The sockets still in the exchange, and what one wait hears of them; the
    // three stay index-aligned.
    std::vector<std::size_t> live(sockets.size());
    for (std::size_t i = 0; i < live.size(); ++i) live[i] = i;
    std::vector<std::size_t> stillLive;
    std::vector<SocketHandle> handles;
    std::vector<std::uint8_t> ready;
    int lastError = 0;
    for (int cycle = 0; cycle < kExchangeCycles; ++cycle) {
        stillLive.clear();
        for (const std::size_t i : live) {
            if (port.SendTo(sockets[i].socket.get(), request, kDatagramSize, kBroadcastAddress,
                            PortToNetwork(kConverterPort)) < 0) {
                // This link is done with; the others go on.
                lastError = FailureCode(port);
                sockets[i].report->sendError = lastError;
                continue;
            }
            stillLive.push_back(i);
        }
        live.swap(stillLive);
        const std::uint64_t limit = port.NowMs() + kCycleLimitMs;
        while (!live.empty()) {
            const std::uint64_t now = port.NowMs();
            if (now >= limit) {
                break;
            }
            // Every wait gets the full second again; only the cycle's upper
            // bound may shorten it.
            const auto timeout = static_cast<std::uint32_t>(
                std::min<std::uint64_t>(kSilenceMs, limit - now));
            handles.clear();
            for (const std::size_t i : live) handles.push_back(sockets[i].socket.get());
            ready.assign(handles.size(), 0);
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
            stillLive.clear();
            for (std::size_t k = 0; k < handles.size(); ++k) {
                const LinkSocket& link = sockets[live[k]];
                if (ready[k] != 0) {
                    std::uint16_t senderPort = 0;
                    const int length =
                        port.ReceiveFrom(handles[k], received, kDatagramSize, &senderPort);
                    if (length < 0) {
                        lastError = FailureCode(port);
                        link.report->receiveError = lastError;
                        continue;
                    }
                    ++link.report->received;
                    if (AcceptReply(received, length, senderPort, replyCode)) {
                        ++link.report->accepted;
                        onAccepted(received, link.link);
                    } else {
                        ++link.report->dropped;
                    }
                }
                stillLive.push_back(live[k]);
            }
            live.swap(stillLive);
        }
        for (const std::size_t i : live) ++sockets[i].report->cycles;
        if (live.empty()) {
            return lastError != 0 ? lastError : kErrUnknown;
        }
    }
    return 0;
}

}  // namespace net
