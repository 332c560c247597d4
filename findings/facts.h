// What Windows says about the PC's adapters, their networks and its firewall,
// as far as it can be read without elevation. Read only when a notice needs
// it: the way to a found converter's page never asks.
//
// FactsSource is the one seam to Windows: each call is one platform query,
// answered as the platform answers it, with nothing decided yet. ReadFacts
// makes the facts the findings rest on; whatever a query could not tell stays
// unknown, and no finding rests on an unknown.
#pragma once

#include <cstddef>
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
        // Past Windows' duplicate-address check (IpDadStatePreferred): a
        // tentative address cannot be bound yet (10049).
        bool usable = true;
    };
    std::vector<Ipv4> ipv4;
};

// One connection of the network list: the adapter and its network's category.
struct NetworkEntry {
    std::string adapterId;
    Category category = Category::kPublic;
};

// The firewall's protocol numbers that the converter's answers may meet.
constexpr long kProtocolUdp = 17;
constexpr long kProtocolAny = 256;
constexpr long kProtocolUnknown = -1;  // the rule would not tell

// An enabled inbound rule of one of the program files asked about, with what
// it is limited to as the firewall holds it: ports and addresses "*" (or
// empty) for any, interface types "All" or a list of "Lan", "Wireless" and
// "RemoteAccess".
struct ProgramRule {
    std::size_t program = 0;  // its index among the files asked about
    bool allows = false;      // else it blocks
    unsigned profiles = 0;
    long protocol = kProtocolAny;
    std::string localPorts = "*";
    std::string remotePorts = "*";
    std::string remoteAddresses = "*";
    bool namedInterfaces = false;  // limited to the interfaces it names
    std::string interfaceTypes = "All";
};

struct FirewallEntry {
    std::optional<unsigned> currentProfiles;
    std::optional<bool> enabled[3];  // by profile: domain, private, public
    std::optional<std::vector<ProgramRule>> rules;  // unknown when a rule of theirs could not be read whole
};

class FactsSource {
public:
    virtual ~FactsSource() = default;
    // false when the adapter list cannot be read.
    virtual bool ReadAdapters(std::vector<AdapterEntry>* adapters) = 0;
    // false when the network list cannot be read.
    virtual bool ReadNetworks(std::vector<NetworkEntry>* networks) = 0;
    // The firewall and the enabled inbound rules whose program is one of
    // these files (full paths, UTF-8).
    virtual FirewallEntry ReadFirewall(const std::vector<std::string>& programs) = 0;
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
    // For a connected adapter: its network's category as the network list
    // gives it (the firewall's one current profile only where the list could
    // not be read at all), whether the firewall is on for that profile, and
    // what the enabled inbound rules of each program asked about say of the
    // converter's answers there (by the program's index; unknown where a rule
    // covers only some of them).
    std::optional<Category> category;
    std::optional<bool> firewallOn;
    std::vector<std::optional<RuleVerdict>> rules;
};

struct Facts {
    bool adaptersKnown = false;
    std::vector<AdapterFacts> adapters;  // in the platform's order, without loopback
    std::vector<std::string> programs;   // the file names of the programs asked about
};

AdapterKind KindOfIfType(unsigned ifType);
// Asks for the networks and the firewall (about the program files given,
// full paths) only when asked to and an adapter is connected; without them,
// categories and the firewall stay unknown.
Facts ReadFacts(FactsSource& source, const std::vector<std::string>& programs,
                bool networksAndFirewall = true);

}  // namespace findings
