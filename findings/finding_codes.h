// The notices, and the findings a notice can show below its own text and the
// console companion prints: why nothing (or too much) was found, and what to
// do.
//
// Each finding code is a stable name that scripts read: once released it is
// never renamed or reused. Its arguments are the fields of its own type, so a
// finding is built with exactly the arguments its code takes. Texts are UTF-8
// as Windows or the converter gave them; the rendering makes them printable.
// Where a finding names the adapter and link it speaks of:
//   adapter  the adapter's friendly name; empty when Windows could not say
//            (the sentence then speaks of an adapter without a name)
//   link     the PC's address on the link with its prefix, "192.168.0.2/24";
//            empty for the one unbound socket of a PC without a link
#pragma once

#include <cstddef>
#include <string>
#include <tuple>
#include <type_traits>
#include <variant>

#include "findings/facts.h"
#include "net/page_check.h"

namespace findings {

// The notices, by the code that picks their text; kNone where the program
// shows none.
enum class Notice : int {
    kNone = 0,
    kAssignFailed = 1,       // the address setup ended without an address
    kOpenFailed = 3,         // the shell could not open the setup page
    kRescanNotFound = 4,     // a rescan listed no converter
    kNotFound = 5,           // the start-up scan failed or listed none
    kSeveral = 6,            // the start-up scan listed more than one
    kIncompleteAddress = 7,  // the address setup's address is incomplete
};

constexpr unsigned NoticeBit(Notice notice) { return 1u << static_cast<int>(notice); }
template <class... N>
constexpr unsigned Notices(N... notices) {
    return (0u | ... | NoticeBit(notices));
}

// X(type, "code", the notices it may appear in), in the order of Finding's
// types (the help file's check reads these rows too).
#define CS_FINDING_CODES(X)                                                                                    \
    X(NoAdapterConnected, "no-adapter-connected", Notices(Notice::kRescanNotFound, Notice::kNotFound))         \
    X(AdapterWithoutAddress, "adapter-without-address", Notices(Notice::kRescanNotFound, Notice::kNotFound))   \
    X(OtherModelAnswered, "other-model-answered", Notices(Notice::kRescanNotFound, Notice::kNotFound))         \
    X(FirewallMayBlock, "firewall-may-block", Notices(Notice::kRescanNotFound, Notice::kNotFound))             \
    X(VpnConnected, "vpn-connected", Notices(Notice::kRescanNotFound, Notice::kNotFound))                      \
    X(LinkSendFailed, "link-send-failed", Notices(Notice::kRescanNotFound, Notice::kNotFound))                 \
    X(LinkReceiveFailed, "link-receive-failed", Notices(Notice::kRescanNotFound, Notice::kNotFound))           \
    X(ScanFailed, "scan-failed", Notices(Notice::kRescanNotFound, Notice::kNotFound))                          \
    X(SearchedNoAnswer, "searched-no-answer", Notices(Notice::kRescanNotFound, Notice::kNotFound))             \
    X(ConverterFound, "converter-found", Notices(Notice::kSeveral))                                            \
    X(AddressRefused, "address-refused", Notices(Notice::kAssignFailed))                                       \
    X(AddressNoAnswer, "address-no-answer", Notices(Notice::kAssignFailed))                                    \
    X(AddressExchangeFailed, "address-exchange-failed", Notices(Notice::kAssignFailed))                       \
    X(PageNotAnswering, "page-not-answering", Notices(Notice::kOpenFailed))

enum class Code {
#define CS_FINDING_ENUM(type, code, notices) k##type,
    CS_FINDING_CODES(CS_FINDING_ENUM)
#undef CS_FINDING_ENUM
};

// Each type's Fields() are its arguments in their stable order.
struct NoAdapterConnected {
    auto Fields() const { return std::tie(); }
};
// waitedSeconds: how long the program waited for an address after the scan
// (0: it did not wait).
struct AdapterWithoutAddress {
    std::string adapter;
    int waitedSeconds;
    auto Fields() const { return std::tie(adapter, waitedSeconds); }
};
// A device of another model that answered: its name as the list shows it
// (decoded from the system's code page) and its dotted quad.
struct OtherModelAnswered {
    std::string name, address, adapter, link;
    auto Fields() const { return std::tie(name, address, adapter, link); }
};
// program: the file name the firewall's rules were read for, e.g.
// "ConverterSetup.exe"; rule: kNone (no rule of it) or kBlocks.
struct FirewallMayBlock {
    std::string adapter, link;
    Category category;
    RuleVerdict rule;
    std::string program;
    auto Fields() const { return std::tie(adapter, link, category, rule, program); }
};
struct VpnConnected {
    std::string adapter;
    auto Fields() const { return std::tie(adapter); }
};
// error: a Windows sockets error number.
struct LinkSendFailed {
    std::string adapter, link;
    int error;
    auto Fields() const { return std::tie(adapter, link, error); }
};
struct LinkReceiveFailed {
    std::string adapter, link;
    int error;
    auto Fields() const { return std::tie(adapter, link, error); }
};
struct ScanFailed {
    int error;
    auto Fields() const { return std::tie(error); }
};
// dropped: how many datagrams the acceptance rules dropped there.
struct SearchedNoAnswer {
    std::string adapter, link;
    int dropped;
    auto Fields() const { return std::tie(adapter, link, dropped); }
};
struct ConverterFound {
    std::string name, address, adapter, link;
    auto Fields() const { return std::tie(name, address, adapter, link); }
};
// address: the dotted quad the assign exchange asked for.
struct AddressRefused {
    std::string address;
    auto Fields() const { return std::tie(address); }
};
struct AddressNoAnswer {
    std::string address;
    auto Fields() const { return std::tie(address); }
};
struct AddressExchangeFailed {
    std::string address;
    int error;
    auto Fields() const { return std::tie(address, error); }
};

// address: where the setup page was waited for; met: what the page check's
// attempts met there, kRefused (a device holds the address, nothing listens
// on port 80) or kNoAnswer.
struct PageNotAnswering {
    std::string address, adapter, link;
    net::PageMet met;
    auto Fields() const { return std::tie(address, adapter, link, met); }
};

using Finding = std::variant<NoAdapterConnected, AdapterWithoutAddress, OtherModelAnswered, FirewallMayBlock,
                             VpnConnected, LinkSendFailed, LinkReceiveFailed, ScanFailed, SearchedNoAnswer,
                             ConverterFound, AddressRefused, AddressNoAnswer, AddressExchangeFailed,
                             PageNotAnswering>;

#define CS_FINDING_TYPE_AT_CODE(type, code, notices)                                                   \
    static_assert(std::is_same_v<std::variant_alternative_t<static_cast<std::size_t>(Code::k##type), \
                                                            Finding>,                                \
                                 type>);
CS_FINDING_CODES(CS_FINDING_TYPE_AT_CODE)
#undef CS_FINDING_TYPE_AT_CODE

inline Code CodeOf(const Finding& finding) { return static_cast<Code>(finding.index()); }

// The stable name of a code, e.g. "no-adapter-connected".
const char* CodeName(Code code);
inline const char* CodeName(const Finding& finding) { return CodeName(CodeOf(finding)); }

// Whether a finding of the code may appear in the notice.
bool BelongsTo(Code code, Notice notice);
// Whether the notice can show findings at all (1, 3, 4, 5 and 6).
bool ShowsFindings(Notice notice);

}  // namespace findings
