// Whether the converter's setup page answers yet: a converter that has just
// taken an address, or just started, may need seconds before its web server
// takes connections there, and a browser opened before then shows its own
// error page.
#pragma once

#include <cstdint>

#include "net/device_table.h"
#include "net/idle.h"
#include "net/socket_port.h"

namespace net {

constexpr std::uint16_t kPagePort = 80;
// One connection attempt at a time, each given this long...
constexpr std::uint32_t kPageAttemptMs = 500;
// ...for at most this long in all.
constexpr std::uint64_t kPageCheckLimitMs = 15000;

// What the attempts met when none was accepted, as the user is told it.
enum class PageMet {
    kAccepted,
    kRefused,   // a device holds the address, but nothing listens on port 80
    kNoAnswer,  // nothing answered at the address
};

struct PageCheck {
    bool answered = false;  // an attempt was accepted: the page can be opened
    int attempts = 0;
    int refused = 0;     // of them, refused
    int unanswered = 0;  // of them, met silence for their whole time
    int failed = 0;      // of them, ended by a failing socket call...
    int lastError = 0;   // ...the last one's error (or the library's, with no attempt)

    // Refused once any attempt was: then something answers at the address.
    PageMet Met() const {
        return answered ? PageMet::kAccepted : refused > 0 ? PageMet::kRefused : PageMet::kNoAnswer;
    }
};

// Tries TCP connections to port 80 of address (network order), from the
// PC's address on link (unbound where the link is unknown), one attempt
// every kPageAttemptMs, until one is accepted or kPageCheckLimitMs have
// passed on the port's clock. A page that answers at once costs one
// connection. idle runs between every two attempts, so no more than one
// attempt's time passes without it.
PageCheck CheckPage(SocketPort& port, std::uint32_t address, const Link& link, const Idle& idle);

}  // namespace net
