// Dotted-quad texts and the 32-bit values they stand for.
//
// Addresses travel between the protocol and the windows as "%d.%d.%d.%d"
// texts and are compared as 32-bit values in network byte order (the bytes of
// an in_addr, first octet first in memory). These two functions are the
// protocol's own inet_addr and inet_ntoa, so that the core needs no socket
// header and behaves alike on every platform.
#pragma once

#include <cstdint>

#include "net/device_table.h"

namespace net {

// What inet_addr answers for a text that is no address.
constexpr std::uint32_t kInaddrNone = 0xFFFFFFFFu;

// The value of the digit `c` in `base` (up to 16, either letter case); -1
// for anything else.
int DigitValue(char c, unsigned base);

// inet_addr: "a.b.c.d" (and the shorter BSD forms "a.b.c", "a.b", "a"; each
// part decimal, octal with a leading 0 or hex with 0x), optionally followed
// by white space and anything after it. kInaddrNone for nullptr, an empty
// text or anything else.
std::uint32_t InetAddr(const char* text);

// inet_ntoa into a caller's text of kAddressTextSize bytes.
void FormatInAddr(std::uint32_t address, char* text);

// The four octets of an address, first octet first, and back.
void AddressToBytes(std::uint32_t address, std::uint8_t* bytes);
std::uint32_t AddressFromBytes(const std::uint8_t* bytes);

// The address as a number with its first octet in the high byte, as the
// rules about octets and host bits read it, and back.
std::uint32_t HostOrder(std::uint32_t address);
std::uint32_t NetworkOrder(std::uint32_t value);

}  // namespace net
