// cs-facts: what the findings' seam reads from Windows, as the findings see
// it, one line per adapter (the name last, as it may hold blanks):
//
//   adapter kind=ethernet connected=yes ipv4=192.168.0.2/24 category=public
//       firewall=unknown rule=unknown name=Ethernet
//
// "adapters unknown" when the list cannot be read. The rule is what the
// firewall's rules for PROGRAM (a full path; cs-facts itself if none is
// given) say there. Reads only: no socket, no datagram.
//
//   cs-facts [PROGRAM]
#include <cstdio>
#include <optional>
#include <string>

#include "findings/windows_facts.h"
#include "net/address_text.h"

namespace {

const char* KindName(findings::AdapterKind kind) {
    switch (kind) {
        case findings::AdapterKind::kEthernet: return "ethernet";
        case findings::AdapterKind::kWifi: return "wifi";
        case findings::AdapterKind::kTunnel: return "tunnel";
        case findings::AdapterKind::kOther: break;
    }
    return "other";
}

template <class T, class F>
std::string Known(const std::optional<T>& value, F name) {
    return value ? name(*value) : "unknown";
}

}  // namespace

int main(int argc, char** argv) {
    findings::WindowsFactsSource windows;
    const findings::Facts facts =
        findings::ReadFacts(windows, {argc > 1 ? std::string(argv[1]) : findings::RunningProgramPath()});
    if (!facts.adaptersKnown) std::printf("adapters unknown\n");
    for (const findings::AdapterFacts& a : facts.adapters) {
        std::string ipv4;
        for (const auto& ip : a.ipv4) {
            char text[net::kAddressTextSize];
            net::FormatInAddr(ip.address, text);
            ipv4 += (ipv4.empty() ? "" : ",") + std::string(text) + "/" + std::to_string(ip.prefixLength) +
                    (ip.selfAssigned ? "(self-assigned)" : "");
        }
        const std::string category = Known(a.category, [](findings::Category c) {
            return std::string(c == findings::Category::kPublic    ? "public"
                               : c == findings::Category::kPrivate ? "private"
                                                                   : "domain");
        });
        const std::string firewall =
            Known(a.firewallOn, [](bool on) { return std::string(on ? "on" : "off"); });
        const std::optional<findings::RuleVerdict> verdict =
            a.rules.empty() ? std::nullopt : a.rules[0];
        const std::string rule = Known(verdict, [](findings::RuleVerdict v) {
            return std::string(v == findings::RuleVerdict::kAllows   ? "allows"
                               : v == findings::RuleVerdict::kBlocks ? "blocks"
                                                                     : "none");
        });
        std::printf("adapter kind=%s connected=%s ipv4=%s category=%s firewall=%s rule=%s name=%s\n",
                    KindName(a.kind), a.connected ? "yes" : "no", ipv4.empty() ? "none" : ipv4.c_str(),
                    category.c_str(), firewall.c_str(), rule.c_str(), a.name.c_str());
    }
    return 0;
}
