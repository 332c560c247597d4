// The request/reply cycles that the scan and the assign exchange share.
#pragma once

#include <cstdint>
#include <functional>

#include "net/datagram.h"
#include "net/socket_port.h"

namespace net {

constexpr int kExchangeCycles = 3;
// A cycle ends after this long without any datagram, accepted or dropped.
constexpr std::uint32_t kSilenceMs = 1000;
// ...and at the latest this long after its request was sent, so that a sender
// that never stops talking cannot hold an exchange open.
constexpr std::uint64_t kCycleLimitMs = 10000;

constexpr std::uint32_t kBroadcastAddress = 0xFFFFFFFFu;

// Port number in network order, as sockaddr_in holds it.
std::uint16_t PortToNetwork(std::uint16_t port);

// Sends request to 255.255.255.255:192 kExchangeCycles times on a bound
// socket; after each send, receives until the cycle ends and hands every
// reply that passes the acceptance rules for replyCode to onAccepted.
// Returns 0, or the error number of the socket call that failed (which ends
// the exchange at once).
int RunCycles(SocketPort& port, SocketHandle socket, const Datagram& request,
              Operation replyCode, const std::function<void(const Datagram&)>& onAccepted);

}  // namespace net
