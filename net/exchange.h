// The request/reply cycles that the scan and the assign exchange share, over
// one socket per link of the PC.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "net/datagram.h"
#include "net/socket_guard.h"
#include "net/socket_port.h"

namespace net {

constexpr int kExchangeCycles = 3;
// A cycle ends after this long without any datagram on any link, accepted or
// dropped...
constexpr std::uint32_t kSilenceMs = 1000;
// ...and at the latest this long after its requests were sent, so that a
// sender that never stops talking cannot hold an exchange open.
constexpr std::uint64_t kCycleLimitMs = 10000;

constexpr std::uint32_t kBroadcastAddress = 0xFFFFFFFFu;

// Port number in network order, as sockaddr_in holds it.
std::uint16_t PortToNetwork(std::uint16_t port);

// An open socket and the link it is bound to; an unknown link for the one
// unbound socket of a PC without a link to bind to.
struct LinkSocket {
    UdpSocket socket;
    Link link;
};

using ReplySink = std::function<void(const Datagram& reply, const Link& heardOn)>;

// Sends request to 255.255.255.255:192 kExchangeCycles times from every
// socket; after each round of sends, receives from all of them until the
// cycle ends and hands every reply that passes the acceptance rules for
// replyCode to onAccepted, with the link that heard it. A socket whose send
// fails is left out from then on. Returns 0; the error of the last failed
// send once no socket is left to send on; or the error of a failed wait or
// receive, which ends the exchange at once.
int RunCycles(SocketPort& port, const std::vector<LinkSocket>& sockets, const Datagram& request,
              Operation replyCode, const ReplySink& onAccepted);

}  // namespace net
