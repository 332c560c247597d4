#include "net/datagram.h"

#include <cstring>

#include "net/address_text.h"

namespace net {

void BuildDiscoveryRequest(Datagram& out) {
    std::memset(out, 0, kDatagramSize);
    out[kProtocolOffset] = kProtocolByte;
    out[kOperationOffset] = kDiscoveryRequest;
}

void BuildAssignRequest(Datagram& out, const std::uint8_t (&mac)[kMacLength],
                        std::uint32_t newAddress) {
    std::memset(out, 0, kDatagramSize);
    out[kProtocolOffset] = kProtocolByte;
    out[kOperationOffset] = kAssignRequest;
    std::memcpy(out + kAccessWordOffset, kAccessWord, kAccessWordLength);
    std::memcpy(out + kMacOffset, mac, kMacLength);
    AddressToBytes(newAddress, out + kAddressOffset);
}

bool AcceptReply(const std::uint8_t* datagram, int received, std::uint16_t senderPort,
                 Operation replyCode) {
    return received == static_cast<int>(kDatagramSize) && senderPort == kConverterPort &&
           datagram[kProtocolOffset] == kProtocolByte && datagram[kOperationOffset] == replyCode;
}

void ParseMacText(const char* text, std::uint8_t (&mac)[kMacLength]) {
    static constexpr std::size_t kDigitPositions[2 * kMacLength] = {0, 1, 3,  4,  6,  7,
                                                                      9, 10, 12, 13, 15, 16};
    std::memset(mac, 0, kMacLength);
    if (text == nullptr) {
        return;
    }
    // Never look past the terminator: a short text simply lacks digits.
    std::size_t length = 0;
    while (length <= kDigitPositions[2 * kMacLength - 1] && text[length] != '\0') {
        ++length;
    }
    int current = -1;  // the most recently started byte
    for (std::size_t digit = 0; digit < 2 * kMacLength; ++digit) {
        const std::size_t position = kDigitPositions[digit];
        if (position >= length) {
            continue;
        }
        const int value = DigitValue(text[position], 16);
        if (value < 0) {
            continue;
        }
        if (digit % 2 == 0) {
            // Six even digits at most, so current never passes the last byte.
            mac[++current] = static_cast<std::uint8_t>(value);
        } else if (current >= 0) {
            mac[current] = static_cast<std::uint8_t>(((mac[current] << 4) & 0xFF) + value);
        }
    }
}

bool SameIdentity(const std::uint8_t* a, const std::uint8_t* b) {
    return std::memcmp(a + kNameOffset, b + kNameOffset, kIdentityLength) == 0;
}

}  // namespace net
