#include "net/address_text.h"

#include <cstdio>
#include <cstring>

namespace net {

namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

int DigitValue(char c, unsigned base) {
    int value = -1;
    if (c >= '0' && c <= '9') {
        value = c - '0';
    } else if (c >= 'a' && c <= 'f') {
        value = c - 'a' + 10;
    } else if (c >= 'A' && c <= 'F') {
        value = c - 'A' + 10;
    }
    return (value >= 0 && static_cast<unsigned>(value) < base) ? value : -1;
}

std::uint32_t InetAddr(const char* text) {
    if (text == nullptr) {
        return kInaddrNone;
    }
    std::uint32_t parts[4] = {};
    int partCount = 0;
    const char* p = text;
    for (;;) {
        if (*p < '0' || *p > '9') {
            return kInaddrNone;
        }
        unsigned base = 10;
        if (*p == '0') {
            base = 8;
            ++p;
            if (*p == 'x' || *p == 'X') {
                base = 16;
                ++p;
            } else if (*p == '8' || *p == '9') {
                return kInaddrNone;  // not an octal digit
            }
        }
        std::uint64_t value = 0;
        for (int digit; (digit = DigitValue(*p, base)) >= 0; ++p) {
            value = value * base + static_cast<unsigned>(digit);
            if (value > 0xFFFFFFFFu) {
                return kInaddrNone;
            }
        }
        if (base == 8 && (*p == '8' || *p == '9')) {
            return kInaddrNone;
        }
        parts[partCount++] = static_cast<std::uint32_t>(value);
        if (*p != '.') {
            break;
        }
        if (partCount == 4) {
            return kInaddrNone;
        }
        ++p;
    }
    if (*p != '\0' && !IsSpace(*p)) {
        return kInaddrNone;
    }

    // The last part fills all the bytes that the earlier parts leave.
    std::uint32_t host = 0;
    switch (partCount) {
    case 1:
        host = parts[0];
        break;
    case 2:
        if (parts[0] > 0xFF || parts[1] > 0xFFFFFF) return kInaddrNone;
        host = (parts[0] << 24) | parts[1];
        break;
    case 3:
        if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF) return kInaddrNone;
        host = (parts[0] << 24) | (parts[1] << 16) | parts[2];
        break;
    default:
        if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFF || parts[3] > 0xFF) {
            return kInaddrNone;
        }
        host = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
        break;
    }
    return NetworkOrder(host);
}

void FormatInAddr(std::uint32_t address, char* text) {
    std::uint8_t b[4];
    AddressToBytes(address, b);
    std::snprintf(text, kAddressTextSize, "%u.%u.%u.%u", static_cast<unsigned>(b[0]),
                  static_cast<unsigned>(b[1]), static_cast<unsigned>(b[2]),
                  static_cast<unsigned>(b[3]));
}

void AddressToBytes(std::uint32_t address, std::uint8_t* bytes) {
    std::memcpy(bytes, &address, 4);
}

std::uint32_t AddressFromBytes(const std::uint8_t* bytes) {
    std::uint32_t address;
    std::memcpy(&address, bytes, 4);
    return address;
}

std::uint32_t HostOrder(std::uint32_t address) {
    std::uint8_t b[4];
    AddressToBytes(address, b);
    return std::uint32_t{b[0]} << 24 | std::uint32_t{b[1]} << 16 | std::uint32_t{b[2]} << 8 | b[3];
}

std::uint32_t NetworkOrder(std::uint32_t value) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(value >> 24), static_cast<std::uint8_t>(value >> 16),
                               static_cast<std::uint8_t>(value >> 8), static_cast<std::uint8_t>(value)};
    return AddressFromBytes(b);
}

}  // namespace net
