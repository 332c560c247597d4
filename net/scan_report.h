// What the last exchanges saw, beside what they found: one report per link a
// scan searched, and how the last assign exchange ended. Read when a notice
// must say why nothing (or too much) was found; the way to a found
// converter's page never looks at it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/device_table.h"

namespace net {

// A PC with more links than this scans through the first ones: a select on
// Windows watches at most 64 sockets.
constexpr std::size_t kMaxLinks = 64;

struct LinkReport {
    Link link;  // unknown: the one unbound socket of a PC without a link
    // The failure that left this link out: opening or binding its socket, or
    // a send. 0 while its requests went out.
    int sendError = 0;
    // The failed receive that left this link out; 0 if none did.
    int receiveError = 0;
    std::int32_t received = 0;  // datagrams read from its socket
    std::int32_t accepted = 0;  // of them, replies that passed the acceptance rules
    std::int32_t dropped = 0;   // of them, datagrams the rules dropped
    // The cycles this link was searched to their end; fewer than three when
    // a failure left it out or a failed wait cut the whole search short.
    std::int32_t cycles = 0;
};

// Written by the scan worker before the running flag's release, like the
// records; read only after the scan has ended.
struct ScanReport {
    std::int32_t linkCount = 0;
    LinkReport links[kMaxLinks];
};
extern ScanReport g_scanReport;

enum class AssignOutcome {
    kTaken,     // the latest accepted reply said status 1
    kRefused,   // an accepted reply came, and the latest said another status
    kNoAnswer,  // no reply was accepted
    kFailed,    // a socket call ended the exchange (error says which)
};

struct AssignReport {
    AssignOutcome outcome = AssignOutcome::kNoAnswer;
    int error = 0;
};

}  // namespace net
