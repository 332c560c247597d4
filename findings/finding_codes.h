// The findings a notice can show below its own text, and the console
// companion prints: why nothing (or too much) was found, and what to do.
//
// Each code is a stable name that scripts read: once released it is never
// renamed or reused. The notices a finding may appear in are listed beside
// it, by their notice code (1 address not taken, 4 rescan found none, 5
// start-up scan found none, 6 several converters).
//
// Arguments, in this order, all UTF-8 texts (a finding's `arguments`):
//   adapter  the adapter's friendly name; empty when Windows could not say
//            (the sentence then speaks of an adapter without a name)
//   link     the PC's address on the link with its prefix, "192.168.0.2/24";
//            empty for the one unbound socket of a PC without a link
//   name     a converter name as the list shows it (the system's code page)
//   address  a dotted quad
//   category "public", "private" or "domain"
//   rule     "none" (no rule of this program) or "blocks" (one blocks it)
//   error    a Windows sockets error number, e.g. "10013"
//   dropped  how many datagrams the acceptance rules dropped, e.g. "0"
//   program  the file name of the program the firewall's rules are read for,
//            e.g. "ConverterSetup.exe"
//   seconds  how long the program waited for an address after the scan,
//            e.g. "15"; "0": it did not wait
//
//   no-adapter-connected      (none)
//   adapter-without-address   adapter, seconds
//   other-model-answered      name, address, adapter, link
//   firewall-may-block        adapter, link, category, rule, program
//   vpn-connected             adapter
//   link-send-failed          adapter, link, error
//   link-receive-failed       adapter, link, error
//   scan-failed               error
//   searched-no-answer        adapter, link, dropped
//   converter-found           name, address, adapter, link
//   address-refused           address
//   address-no-answer         address
//   address-exchange-failed   address, error
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
