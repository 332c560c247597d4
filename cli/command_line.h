// What cvsetup was asked to do, read from its arguments. No window or console
// code: the caller turns a usage error into a sentence in the user's language.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "net/free_address.h"

namespace cli {

enum class Command { kNone, kList, kAssign, kOpen, kDiagnose, kHelp, kVersion };

enum class UsageError {
    kNone,
    kNoCommand,
    kUnknownCommand,    // detail: the word
    kUnknownOption,     // detail: the option
    kMissingArgument,   // detail: what is missing, as the usage names it
    kExtraArgument,     // detail: the first argument too many
    kBadMac,            // detail: the text
    kBadAddress,        // detail: the text
    kBadTarget,         // detail: the text, neither a MAC nor an address
    kBadWait,           // detail: the text, not a number of seconds 0-600
    // Known only once the scan has found the converter's link.
    kNetworkAddress,    // detail: the address
    kBroadcastAddress,  // detail: the address
    kPcAddress,         // detail: the address
    kAddressInUse,      // detail: the address
};

struct Request {
    Command command = Command::kNone;
    bool all = false;
    bool json = false;
    // assign: both; open: the one its argument gave.
    bool byMac = false;
    std::uint8_t mac[6] = {};
    std::uint32_t address = 0;  // network order
    // --wait SECONDS: the scan is repeated until the converter answers or
    // this much time has passed. Without it, one scan.
    int waitSeconds = 0;
    UsageError error = UsageError::kNone;
    std::string detail;
};

// The most --wait takes.
constexpr int kMaxWaitSeconds = 600;

// Arguments after the program's name, UTF-8.
Request ParseCommandLine(const std::vector<std::string>& arguments);

// Six pairs of hex digits, either case, separated throughout by ':' or by '-'.
bool ParseMac(const std::string& text, std::uint8_t (&mac)[6]);
// Four decimal numbers 0-255 separated by '.'; the value in network order.
// Leading zeros stay decimal: "010" is ten, never the octal eight that
// inet_addr would read.
bool ParseDottedQuad(const std::string& text, std::uint32_t* address);
// An address a converter can take: a dotted quad whose first number is 1-223
// and not 127.
bool ParseUnicastAddress(const std::string& text, std::uint32_t* address);

// What refuses an address on the converter's link, as the address setup
// dialog refuses it (a usage error, found after the scan): the link's
// network or broadcast address, the PC's own, or one a device answers ARP
// for; kNone for every other use.
UsageError RefusalOnLink(net::AddressUse use);

}  // namespace cli
