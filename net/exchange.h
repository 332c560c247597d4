// The request/reply cycles that the scan and the assign exchange share, over
// one socket per link of the PC.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "net/datagram.h"
#include "net/scan_report.h"
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

// An open socket, the link it is bound to (unknown for the one unbound socket
// of a PC without a link to bind to), and where its tally goes.
struct LinkSocket {
    UdpSocket socket;
    Link link;
    LinkReport* report;  // borrowed, never null
};

using ReplySink = std::function<void(const Datagram& reply, const Link& heardOn)>;

// Sends request to 255.255.255.255:192 kExchangeCycles times from every
// socket; after each round of sends, receives from all of them until the
// cycle ends and hands every reply that passes the acceptance rules for
// replyCode to onAccepted, with the link that heard it. A socket whose send
// or receive fails is left out from then on, so one adapter that goes away
// costs only its own link. Returns 0; the last such error once no socket is
// left; or the error of a failed wait, which ends the exchange at once. Each
// socket's report counts what it read, the cycles it was searched to their
// end, and records what left it out.
int RunCycles(SocketPort& port, const std::vector<LinkSocket>& sockets, const Datagram& request,
              Operation replyCode, const ReplySink& onAccepted);

}  // namespace net
