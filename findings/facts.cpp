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

// A network of unknown category still has a profile when only one is current.
std::optional<Category> CategoryOfProfiles(const std::optional<unsigned>& profiles) {
    if (!profiles) return std::nullopt;
    switch (*profiles) {
        case kProfileDomain: return Category::kDomain;
        case kProfilePrivate: return Category::kPrivate;
        case kProfilePublic: return Category::kPublic;
        default: return std::nullopt;
    }
}

// Windows lets a block rule win over any allow rule.
std::optional<RuleVerdict> VerdictFor(unsigned profile, const FirewallEntry& firewall) {
    if (!firewall.rules) return std::nullopt;
    RuleVerdict verdict = RuleVerdict::kNone;
    for (const ProgramRule& rule : *firewall.rules) {
        if (!(rule.profiles & profile)) continue;
        if (!rule.allows) return RuleVerdict::kBlocks;
        verdict = RuleVerdict::kAllows;
    }
    return verdict;
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

Facts ReadFacts(FactsSource& source, bool networksAndFirewall) {
    Facts facts;
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
            adapter.ipv4.push_back({ip.address, ip.prefixLength, SelfAssigned(ip.address)});
        }
        anyConnected = anyConnected || adapter.connected;
        facts.adapters.push_back(adapter);
    }
    if (!anyConnected || !networksAndFirewall) return facts;

    std::vector<NetworkEntry> networks;
    const bool networksKnown = source.ReadNetworks(&networks);
    const FirewallEntry firewall = source.ReadFirewall();
    for (std::size_t i = 0; i < facts.adapters.size(); ++i) {
        AdapterFacts& adapter = facts.adapters[i];
        if (!adapter.connected) continue;
        for (const NetworkEntry& network : networks) {
            if (networksKnown && SameId(network.adapterId, *ids[i])) adapter.category = network.category;
        }
        if (!adapter.category) adapter.category = CategoryOfProfiles(firewall.currentProfiles);
        if (!adapter.category) continue;
        const unsigned profile = ProfileOf(*adapter.category);
        adapter.firewallOn = firewall.enabled[ProfileIndex(profile)];
        adapter.rule = VerdictFor(profile, firewall);
    }
    return facts;
}

}  // namespace findings
