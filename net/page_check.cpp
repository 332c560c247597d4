#include "net/page_check.h"

#include <algorithm>

#include "net/exchange.h"
#include "net/socket_guard.h"

namespace net {

PageCheck CheckPage(SocketPort& port, std::uint32_t address, const Link& link, const Idle& idle) {
    PageCheck check;
    SocketLibrary library(port);
    if (!library.started()) {
        check.lastError = library.error();
        return check;
    }
    const std::uint32_t from = link.known ? link.address : 0u;
    const std::uint64_t deadline = port.NowMs() + kPageCheckLimitMs;
    for (std::uint64_t start = port.NowMs(); start < deadline; start = port.NowMs()) {
        const auto budget =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(kPageAttemptMs, deadline - start));
        ++check.attempts;
        switch (port.TryConnect(from, address, PortToNetwork(kPagePort), budget)) {
            case ConnectOutcome::kAccepted: check.answered = true; return check;
            case ConnectOutcome::kRefused: ++check.refused; break;
            case ConnectOutcome::kNoAnswer: ++check.unanswered; break;
            case ConnectOutcome::kFailed:
                ++check.failed;
                check.lastError = FailureCode(port);
                break;
        }
        if (port.NowMs() >= deadline) break;
        IdleUntil(port, std::min(start + kPageAttemptMs, deadline), idle);
    }
    return check;
}

}  // namespace net
