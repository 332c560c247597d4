#include "findings/facts.h"

#include <cctype>

namespace findings {
namespace {

bool SameId(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

unsigned ProfileOf(Category category) {
    switch (category) {
        case Category::kDomain: return kProfileDomain;
        case Category::kPrivate: return kProfilePrivate;
        case Category::kPublic: break;
    }
    return kProfilePublic;
}

int ProfileIndex(unsigned profile) {
    return profile == kProfileDomain ? 0 : profile == kProfilePrivate ? 1 : 2;
}

// The category of every network when only one profile is current.
std::optional<Category> CategoryOfProfiles(const std::optional<unsigned>& profiles) {
    if (!profiles) return std::nullopt;
    switch (*profiles) {
        case kProfileDomain: return Category::kDomain;
        case kProfilePrivate: return Category::kPrivate;
        case kProfilePublic: return Category::kPublic;
        default: return std::nullopt;
    }
}

bool AnyText(const std::string& limit) { return limit.empty() || limit == "*"; }

// The interface type a rule names for an adapter of this kind; nullptr for
// a kind the types do not name.
const char* InterfaceTypeOf(AdapterKind kind) {
    switch (kind) {
        case AdapterKind::kEthernet: return "LAN";
        case AdapterKind::kWifi: return "WIRELESS";
        case AdapterKind::kTunnel: return "REMOTEACCESS";
        case AdapterKind::kOther: break;
    }
    return nullptr;
}

// Whether the rule's interface types hold the adapter: yes, no, or unknown.
std::optional<bool> TypesHold(const std::string& types, AdapterKind kind) {
    std::string upper;
    for (const char c : types) {
        if (c != ' ') upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    if (upper.empty() || upper == "ALL") return true;
    const char* own = InterfaceTypeOf(kind);
    if (!own) return std::nullopt;
    return ("," + upper + ",").find("," + std::string(own) + ",") != std::string::npos;
}

// How much of the converter's answers (UDP, from its address and port 192,
// to whatever port the scan's socket got) a rule takes in on an adapter.
enum class Reach { kNone, kSome, kAll };

Reach ReachOf(const ProgramRule& rule, unsigned profile, AdapterKind kind) {
    if (!(rule.profiles & profile)) return Reach::kNone;
    const bool udp = rule.protocol == kProtocolUdp || rule.protocol == kProtocolAny;
    if (!udp && rule.protocol != kProtocolUnknown) return Reach::kNone;
    const std::optional<bool> typed = TypesHold(rule.interfaceTypes, kind);
    if (typed == false) return Reach::kNone;
    const bool whole = udp && typed.value_or(false) && !rule.namedInterfaces && AnyText(rule.localPorts) &&
                       AnyText(rule.remotePorts) && AnyText(rule.remoteAddresses);
    return whole ? Reach::kAll : Reach::kSome;
}

// What the program's rules make of the answers. A block rule wins over any
// allow rule; a rule that may take in only some of them leaves the verdict
// unknown, unless a block rule for all of them decides, or an allow rule for
// all of them does and no block rule may apply.
std::optional<RuleVerdict> VerdictFor(std::size_t program, unsigned profile, AdapterKind kind,
                                      const FirewallEntry& firewall) {
    if (!firewall.rules) return std::nullopt;
    bool someBlocked = false, allAllowed = false, someAllowed = false;
    for (const ProgramRule& rule : *firewall.rules) {
        if (rule.program != program) continue;
        const Reach reach = ReachOf(rule, profile, kind);
        if (reach == Reach::kNone) continue;
        if (!rule.allows) {
            if (reach == Reach::kAll) return RuleVerdict::kBlocks;
            someBlocked = true;
        } else if (reach == Reach::kAll) {
            allAllowed = true;
        } else {
            someAllowed = true;
        }
    }
    if (someBlocked) return std::nullopt;
    if (allAllowed) return RuleVerdict::kAllows;
    if (someAllowed) return std::nullopt;
    return RuleVerdict::kNone;
}

std::string FileName(const std::string& path) {
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool SelfAssigned(std::uint32_t address) {
    const auto* octets = reinterpret_cast<const unsigned char*>(&address);
    return octets[0] == 169 && octets[1] == 254;
}

}  // namespace

AdapterKind KindOfIfType(unsigned ifType) {
    switch (ifType) {
        case kIfTypeEthernet: return AdapterKind::kEthernet;
        case kIfTypeWifi: return AdapterKind::kWifi;
        case kIfTypePpp:
        case kIfTypePropVirtual:
        case kIfTypeTunnel: return AdapterKind::kTunnel;
        default: return AdapterKind::kOther;
    }
}

Facts ReadFacts(FactsSource& source, const std::vector<std::string>& programs, bool networksAndFirewall) {
    Facts facts;
    for (const std::string& program : programs) facts.programs.push_back(FileName(program));
    std::vector<AdapterEntry> entries;
    if (!source.ReadAdapters(&entries)) return facts;
    facts.adaptersKnown = true;
    bool anyConnected = false;
    std::vector<const std::string*> ids;  // beside each adapter kept
    for (const AdapterEntry& entry : entries) {
        if (entry.ifType == kIfTypeLoopback) continue;
        ids.push_back(&entry.id);
        AdapterFacts adapter;
        adapter.name = entry.name;
        adapter.kind = KindOfIfType(entry.ifType);
        adapter.connected = entry.operStatus == kOperStatusUp;
        for (const AdapterEntry::Ipv4& ip : entry.ipv4) {
            // Nothing can be sent from a tentative address: not one yet.
            if (!ip.usable) continue;
            adapter.ipv4.push_back({ip.address, ip.prefixLength, SelfAssigned(ip.address)});
        }
        anyConnected = anyConnected || adapter.connected;
        facts.adapters.push_back(adapter);
    }
    if (!anyConnected || !networksAndFirewall) return facts;

    std::vector<NetworkEntry> networks;
    const bool networksKnown = source.ReadNetworks(&networks);
    const FirewallEntry firewall = source.ReadFirewall(programs);
    for (std::size_t i = 0; i < facts.adapters.size(); ++i) {
        AdapterFacts& adapter = facts.adapters[i];
        if (!adapter.connected) continue;
        // A network the list does not name yet is still being identified,
        // and public to the firewall whatever profile is current: only a
        // list that could not be read at all lets the profile stand in.
        for (const NetworkEntry& network : networks) {
            if (SameId(network.adapterId, *ids[i])) adapter.category = network.category;
        }
        if (!networksKnown) adapter.category = CategoryOfProfiles(firewall.currentProfiles);
        if (!adapter.category) continue;
        const unsigned profile = ProfileOf(*adapter.category);
        adapter.firewallOn = firewall.enabled[ProfileIndex(profile)];
        for (std::size_t p = 0; p < programs.size(); ++p) {
            adapter.rules.push_back(VerdictFor(p, profile, adapter.kind, firewall));
        }
    }
    return facts;
}

}  // namespace findings
