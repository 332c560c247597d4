// Building requests and judging replies of the discovery protocol.
#pragma once

#include <cstddef>
#include <cstdint>

#include "net/device_table.h"

namespace net {

constexpr std::uint8_t kProtocolByte = 1;
// The fixed word every assign request carries; converters refuse the request
// without it. Six letters, no terminator inside the field.
constexpr char kAccessWord[] = "ladder";
constexpr std::size_t kAccessWordLength = sizeof kAccessWord - 1;
constexpr std::size_t kMacLength = 6;

using Datagram = std::uint8_t[kDatagramSize];

// 116 bytes: the protocol byte, all else zero.
void BuildDiscoveryRequest(Datagram& out);
// The assign request naming the converter by mac and carrying newAddress
// (network order).
void BuildAssignRequest(Datagram& out, const std::uint8_t (&mac)[kMacLength],
                        std::uint32_t newAddress);

// The acceptance rules shared by both exchanges: exactly 116 bytes, from UDP
// port 192 (sender port in host order), protocol byte 1 and the running
// exchange's reply code. The status bytes play no part.
bool AcceptReply(const std::uint8_t* datagram, int received, std::uint16_t senderPort,
                 Operation replyCode);

// The MAC text "xx:xx:xx:xx:xx:xx" as six bytes. Only the twelve digit
// positions are read (the separators may hold anything), hex digits in either
// case; characters that are no hex digit and positions past the end of the
// text are passed over, and a byte that no digit starts stays 0.
void ParseMacText(const char* text, std::uint8_t (&mac)[kMacLength]);

// True when bytes 48..79 of the two datagrams are equal: the same converter
// within one scan.
bool SameIdentity(const std::uint8_t* a, const std::uint8_t* b);

}  // namespace net
