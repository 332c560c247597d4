// What Windows says about the PC's adapters, their networks and its firewall,
// as far as it can be read without elevation. Read only when a notice needs
// it: the way to a found converter's page never asks.
//
// FactsSource is the one seam to Windows: each call is one platform query,
// answered as the platform answers it, with nothing decided yet. ReadFacts
// makes the facts the findings rest on; whatever a query could not tell stays
// unknown, and no finding rests on an unknown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace findings {

// ---------------------------------------------------------------- the seam

// The IfType values that decide an adapter's kind (ipifcons.h).
constexpr unsigned kIfTypeEthernet = 6;
constexpr unsigned kIfTypePpp = 23;
constexpr unsigned kIfTypeLoopback = 24;
constexpr unsigned kIfTypePropVirtual = 53;
constexpr unsigned kIfTypeWifi = 71;
constexpr unsigned kIfTypeTunnel = 131;
constexpr unsigned kOperStatusUp = 1;

// The firewall's profiles as NET_FW_PROFILE_TYPE2 bits.
constexpr unsigned kProfileDomain = 1;
constexpr unsigned kProfilePrivate = 2;
constexpr unsigned kProfilePublic = 4;

enum class Category { kPublic, kPrivate, kDomain };

struct AdapterEntry {
    std::string id;    // the adapter's GUID text, "{...}", as the network list names it
    std::string name;  // its friendly name, UTF-8
    unsigned ifType = 0;
    unsigned operStatus = 0;
    struct Ipv4 {
        std::uint32_t address = 0;  // network order, as an in_addr holds it
        int prefixLength = 0;
    };
    std::vector<Ipv4> ipv4;
};

// One connection of the network list: the adapter and its network's category.
struct NetworkEntry {
    std::string adapterId;
    Category category = Category::kPublic;
};

// An enabled inbound rule for this program file.
struct ProgramRule {
    bool allows = false;  // else it blocks
    unsigned profiles = 0;
};

struct FirewallEntry {
    std::optional<unsigned> currentProfiles;
    std::optional<bool> enabled[3];  // by profile: domain, private, public
    std::optional<std::vector<ProgramRule>> rules;
};

class FactsSource {
public:
    virtual ~FactsSource() = default;
    // false when the adapter list cannot be read.
    virtual bool ReadAdapters(std::vector<AdapterEntry>* adapters) = 0;
    // false when the network list cannot be read.
    virtual bool ReadNetworks(std::vector<NetworkEntry>* networks) = 0;
    virtual FirewallEntry ReadFirewall() = 0;
};

// ---------------------------------------------------------------- the facts

enum class AdapterKind { kEthernet, kWifi, kTunnel, kOther };
enum class RuleVerdict { kNone, kAllows, kBlocks };

struct AdapterFacts {
    std::string name;
    AdapterKind kind = AdapterKind::kOther;
    bool connected = false;
    struct Address {
        std::uint32_t address = 0;
        int prefixLength = 0;
        bool selfAssigned = false;  // 169.254.0.0/16: no DHCP server gave one
    };
    std::vector<Address> ipv4;
    // For a connected adapter: its network's category (else the firewall's
    // one current profile), whether the firewall is on for that profile, and
    // what this program's enabled inbound rules say there.
    std::optional<Category> category;
    std::optional<bool> firewallOn;
    std::optional<RuleVerdict> rule;
};

struct Facts {
    bool adaptersKnown = false;
    std::vector<AdapterFacts> adapters;  // in the platform's order, without loopback
};

AdapterKind KindOfIfType(unsigned ifType);
// Asks for the networks and the firewall only when asked to and an adapter
// is connected; without them, categories and the firewall stay unknown.
Facts ReadFacts(FactsSource& source, bool networksAndFirewall = true);

}  // namespace findings
