// The findings a notice can show below its own text, and the console
// companion prints: why nothing (or too much) was found, and what to do.
//
// Each code is a stable name that scripts read: once released it is never
// renamed or reused. The notices a finding may appear in are listed beside
// it, by their notice code (1 address not taken, 4 rescan found none, 5
// start-up scan found none, 6 several converters).
#pragma once

// X(enumerator, "code", notices)
#define CS_FINDING_CODES(X)                                                   \
    X(kNoAdapterConnected, "no-adapter-connected", "4 5")                     \
    X(kAdapterWithoutAddress, "adapter-without-address", "4 5")               \
    X(kOtherModelAnswered, "other-model-answered", "4 5")                     \
    X(kFirewallMayBlock, "firewall-may-block", "4 5")                         \
    X(kVpnConnected, "vpn-connected", "4 5")                                  \
    X(kLinkSendFailed, "link-send-failed", "4 5")                             \
    X(kLinkReceiveFailed, "link-receive-failed", "4 5")                       \
    X(kScanFailed, "scan-failed", "4 5")                                      \
    X(kSearchedNoAnswer, "searched-no-answer", "4 5")                         \
    X(kConverterFound, "converter-found", "6")                                \
    X(kAddressRefused, "address-refused", "1")                                \
    X(kAddressNoAnswer, "address-no-answer", "1")                             \
    X(kAddressExchangeFailed, "address-exchange-failed", "1")

namespace findings {

enum class Code {
#define CS_FINDING_ENUM(name, code, notices) name,
    CS_FINDING_CODES(CS_FINDING_ENUM)
#undef CS_FINDING_ENUM
};

// The stable name of a code, e.g. "no-adapter-connected".
const char* CodeName(Code code);

}  // namespace findings
