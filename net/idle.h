// What a caller does while the protocol waits on the port's clock: a window
// thread handles its messages there (Windows marks a window that handles
// none for 5 s as not responding), a console program sleeps, a test moves
// the scripted clock.
#pragma once

#include <cstdint>
#include <functional>

#include "net/socket_port.h"

namespace net {

// Called with the milliseconds still to wait (0: only what is pending); it
// returns once they have passed, or sooner, and is then called again for
// what is left. Never empty.
using Idle = std::function<void(std::uint32_t ms)>;

// Runs idle at least once, until the port's clock reads until.
inline void IdleUntil(SocketPort& port, std::uint64_t until, const Idle& idle) {
    std::uint64_t now = port.NowMs();
    do {
        idle(now < until ? static_cast<std::uint32_t>(until - now) : 0u);
        now = port.NowMs();
    } while (now < until);
}

}  // namespace net
