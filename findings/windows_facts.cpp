#include "findings/windows_facts.h"

// The socket headers first: iphlpapi.h needs their address types.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <iphlpapi.h>
#include <netfw.h>
#include <netlistmgr.h>
#include <objbase.h>

#include <memory>

#include "win/com.h"
#include "win/firewall_rules.h"
#include "win/language.h"
#include "win/shell.h"
#include "win/system_library.h"

namespace findings {
namespace {

using win::ComPtr;
using win::Create;

std::string Utf8(const wchar_t* text) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) return std::string();
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], size, nullptr, nullptr);
    out.resize(static_cast<std::size_t>(size) - 1);
    return out;
}

// What a rule is limited to, read whole; false when any of it cannot be read.
bool ReadLimits(INetFwRule* rule, ProgramRule& out) {
    NET_FW_ACTION action = NET_FW_ACTION_ALLOW;
    long profiles = 0, protocol = 0;
    win::Bstr localPorts, remotePorts, remoteAddresses, interfaceTypes;
    win::Variant interfaces;
    if (FAILED(rule->get_Action(&action)) || FAILED(rule->get_Profiles(&profiles)) ||
        FAILED(rule->get_Protocol(&protocol)) ||
        FAILED(rule->get_RemoteAddresses(remoteAddresses.out())) ||
        FAILED(rule->get_Interfaces(interfaces.out())) ||
        FAILED(rule->get_InterfaceTypes(interfaceTypes.out()))) {
        return false;
    }
    // Ports belong to a rule of one protocol; one for any protocol has none,
    // and a TCP rule's say nothing of the converter's answers.
    if (protocol == NET_FW_IP_PROTOCOL_UDP) {
        if (FAILED(rule->get_LocalPorts(localPorts.out())) || FAILED(rule->get_RemotePorts(remotePorts.out()))) {
            return false;
        }
        out.localPorts = Utf8(localPorts.get());
        out.remotePorts = Utf8(remotePorts.get());
    }
    out.allows = action == NET_FW_ACTION_ALLOW;
    out.profiles = static_cast<unsigned>(profiles);
    out.protocol = protocol;
    out.remoteAddresses = Utf8(remoteAddresses.get());
    out.namedInterfaces = !interfaces.empty();
    out.interfaceTypes = Utf8(interfaceTypes.get());
    return true;
}

// The enabled inbound rules of the programs; unknown when the list, or a
// rule of theirs, cannot be read.
std::optional<std::vector<ProgramRule>> ProgramRules(INetFwPolicy2* policy,
                                                     const std::vector<std::string>& programs) {
    ComPtr<INetFwRules> rules;
    ComPtr<IUnknown> enumerator;
    if (FAILED(policy->get_Rules(rules.out())) || !rules || FAILED(rules->get__NewEnum(enumerator.out()))) {
        return std::nullopt;
    }
    ComPtr<IEnumVARIANT> each = enumerator.As<IEnumVARIANT>();
    if (!each) return std::nullopt;
    std::vector<std::wstring> paths;
    for (const std::string& program : programs) paths.push_back(win::FromUtf8(program));
    std::vector<ProgramRule> found;
    win::Variant item;
    for (ULONG fetched = 0; each->Next(1, item.out(), &fetched) == S_OK && fetched == 1;) {
        ComPtr<INetFwRule> rule;
        if (IDispatch* raw = item.dispatch()) {
            raw->QueryInterface(__uuidof(INetFwRule), reinterpret_cast<void**>(rule.out()));
        }
        VARIANT_BOOL enabled = VARIANT_FALSE;
        NET_FW_RULE_DIRECTION direction = NET_FW_RULE_DIR_OUT;
        win::Bstr application;
        if (!rule || FAILED(rule->get_Enabled(&enabled)) || !enabled ||
            FAILED(rule->get_Direction(&direction)) || direction != NET_FW_RULE_DIR_IN ||
            FAILED(rule->get_ApplicationName(application.out()))) {
            continue;
        }
        for (std::size_t p = 0; p < paths.size(); ++p) {
            if (!win::RuleApplicationIs(application.get(), paths[p])) continue;
            ProgramRule limits;
            limits.program = p;
            // A rule of theirs read in part could be the one that decides.
            if (!ReadLimits(rule.get(), limits)) return std::nullopt;
            found.push_back(limits);
        }
    }
    return found;
}

FactsSource* g_source = nullptr;

}  // namespace

bool WindowsFactsSource::ReadAdapters(std::vector<AdapterEntry>* adapters) {
    constexpr ULONG kFlags = GAA_FLAG_SKIP_ANYCAST | GAA_FLAG_SKIP_MULTICAST | GAA_FLAG_SKIP_DNS_SERVER;
    ULONG size = 16 * 1024;
    std::unique_ptr<unsigned char[]> buffer;
    static const auto getAdaptersAddresses =
        win::SystemEntry<decltype(&GetAdaptersAddresses)>(L"iphlpapi.dll", "GetAdaptersAddresses");
    if (!getAdaptersAddresses) return false;
    ULONG result = ERROR_BUFFER_OVERFLOW;
    // The list may grow between the two calls: a few tries.
    for (int attempt = 0; attempt < 4 && result == ERROR_BUFFER_OVERFLOW; ++attempt) {
        buffer.reset(new unsigned char[size]);
        result = getAdaptersAddresses(AF_INET, kFlags, nullptr,
                                      reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()), &size);
    }
    if (result == ERROR_NO_DATA) return true;
    if (result != NO_ERROR) return false;
    for (auto* a = reinterpret_cast<IP_ADAPTER_ADDRESSES*>(buffer.get()); a; a = a->Next) {
        AdapterEntry entry;
        entry.id = a->AdapterName ? a->AdapterName : "";
        entry.name = Utf8(a->FriendlyName ? a->FriendlyName : L"");
        entry.ifType = a->IfType;
        entry.operStatus = a->OperStatus;
        for (IP_ADAPTER_UNICAST_ADDRESS* u = a->FirstUnicastAddress; u; u = u->Next) {
            const SOCKADDR* address = u->Address.lpSockaddr;
            if (!address || address->sa_family != AF_INET) continue;
            entry.ipv4.push_back({reinterpret_cast<const sockaddr_in*>(address)->sin_addr.s_addr,
                                  u->OnLinkPrefixLength, u->DadState == IpDadStatePreferred});
        }
        adapters->push_back(entry);
    }
    return true;
}

bool WindowsFactsSource::ReadNetworks(std::vector<NetworkEntry>* networks) {
    win::ComApartment com;  // the caller's, or one for the read
    ComPtr<INetworkListManager> manager = Create<INetworkListManager>(__uuidof(NetworkListManager));
    ComPtr<IEnumNetworkConnections> connections;
    if (!manager || FAILED(manager->GetNetworkConnections(connections.out())) || !connections) return false;
    ComPtr<INetworkConnection> connection;
    for (ULONG fetched = 0; connections->Next(1, connection.out(), &fetched) == S_OK && fetched == 1;) {
        GUID adapter{};
        ComPtr<INetwork> network;
        NLM_NETWORK_CATEGORY category = NLM_NETWORK_CATEGORY_PUBLIC;
        wchar_t id[40] = {};
        if (FAILED(connection->GetAdapterId(&adapter)) || FAILED(connection->GetNetwork(network.out())) ||
            !network || FAILED(network->GetCategory(&category)) || !StringFromGUID2(adapter, id, 40)) {
            continue;
        }
        networks->push_back({Utf8(id), category == NLM_NETWORK_CATEGORY_DOMAIN_AUTHENTICATED
                                           ? Category::kDomain
                                       : category == NLM_NETWORK_CATEGORY_PRIVATE ? Category::kPrivate
                                                                                  : Category::kPublic});
    }
    return true;
}

FirewallEntry WindowsFactsSource::ReadFirewall(const std::vector<std::string>& programs) {
    win::ComApartment com;  // the caller's, or one for the read
    FirewallEntry entry;
    ComPtr<INetFwPolicy2> policy = Create<INetFwPolicy2>(__uuidof(NetFwPolicy2));
    if (!policy) return entry;
    long current = 0;
    if (SUCCEEDED(policy->get_CurrentProfileTypes(&current))) {
        entry.currentProfiles = static_cast<unsigned>(current);
    }
    const NET_FW_PROFILE_TYPE2 profiles[] = {NET_FW_PROFILE2_DOMAIN, NET_FW_PROFILE2_PRIVATE,
                                             NET_FW_PROFILE2_PUBLIC};
    for (int i = 0; i < 3; ++i) {
        VARIANT_BOOL enabled = VARIANT_FALSE;
        if (SUCCEEDED(policy->get_FirewallEnabled(profiles[i], &enabled))) {
            entry.enabled[i] = enabled != VARIANT_FALSE;
        }
    }
    entry.rules = ProgramRules(policy.get(), programs);
    return entry;
}

FactsSource& ActiveFactsSource() {
    static WindowsFactsSource windows;
    return g_source ? *g_source : windows;
}

void SetFactsSource(FactsSource* source) { g_source = source; }

std::string RunningProgramPath() { return win::ToUtf8(win::ProgramFilePath()); }

std::string SystemCodePageToUtf8(const std::string& bytes) {
    if (bytes.empty()) return std::string();
    const int length =
        MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0) return std::string();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, bytes.data(), static_cast<int>(bytes.size()), &wide[0], length);
    return Utf8(wide.c_str());
}

}  // namespace findings
