// One table from facts to findings: each row changes a PC that has one
// connected Ethernet adapter on 192.168.0.2/24 (its network public, the
// firewall unknown, as under wine), searched that link and heard nothing.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "findings/findings.h"
#include "net/address_text.h"

namespace findings {
namespace {

const std::string kName68 = "ACME-AP500 caf\xE9\n" + std::string(52, 'x');  // no NUL: 68 bytes

struct Pc : FactsSource {
    std::vector<AdapterEntry> adapters = {{"{E1}", "Ethernet", kIfTypeEthernet, kOperStatusUp,
                                           {{net::InetAddr("192.168.0.2"), 24}}}};
    bool adaptersReadable = true;
    std::vector<NetworkEntry> networks = {{"{e1}", Category::kPublic}};
    FirewallEntry firewall;
    net::ScanReport scan;
    Inputs in;
    net::AssignReport assign;

    Pc() {
        scan.linkCount = 1;
        scan.links[0].link = Link("192.168.0.2");
        in.notice = 5;
    }
    static net::Link Link(const char* address, const char* mask = "255.255.255.0") {
        return {true, net::InetAddr(address), net::InetAddr(mask)};
    }
    void Adapter(const char* name, unsigned ifType, unsigned operStatus, const char* address = nullptr) {
        adapters.push_back({name, name, ifType, operStatus, {}});
        if (address) adapters.back().ipv4.push_back({net::InetAddr(address), 24});
    }
    void Answered(int link, const std::string& name, const char* address) {
        std::uint8_t reply[net::kDatagramSize] = {1, net::kDiscoveryReply};
        net::AddressToBytes(net::InetAddr(address), reply + net::kAddressOffset);
        std::memcpy(reply + net::kNameOffset, name.data(), std::min(name.size(), net::kNameLength));
        net::StoreRecord(in.recordCount++, reply, scan.links[link].link);
        scan.links[link].accepted++;
    }
    void Assign(net::AssignOutcome outcome, int error = 0) {
        in.notice = 1;
        assign = {outcome, error};
        in.assign = &assign;
        in.assignAddress = "192.168.0.3";
    }
    bool ReadAdapters(std::vector<AdapterEntry>* out) override { return *out = adapters, adaptersReadable; }
    bool ReadNetworks(std::vector<NetworkEntry>* out) override { return *out = networks, true; }
    FirewallEntry ReadFirewall() override { return firewall; }
};

std::vector<std::string> Built(Pc& pc) {
    const Facts facts = ReadFacts(pc);
    pc.in.scan = &pc.scan;
    pc.in.records = net::g_deviceTable;
    pc.in.facts = &facts;
    std::vector<std::string> out;
    for (const Finding& f : BuildFindings(pc.in)) {
        std::string line = CodeName(f.code);
        for (std::size_t i = 0; i < f.arguments.size(); ++i) line += (i ? "|" : " ") + f.arguments[i];
        out.push_back(line);
    }
    return out;
}

const char* const kNoAnswer = "searched-no-answer Ethernet|192.168.0.2/24|0";

TEST(Findings, EachFactYieldsItsFindingInOrderOfWeightAndNoneRestsOnAnUnknown) {
    const struct {
        const char* name;
        std::function<void(Pc&)> change;
        std::vector<std::string> expected;
        const char* english = nullptr;  // the first finding, rendered
        const char* japanese = nullptr;
    } rows[] = {
        {"nothing answered on the one link", [](Pc&) {}, {kNoAnswer},
         "Nothing answered through the adapter \"Ethernet\" (192.168.0.2/24). Check that the converter is "
         "wired to the PC and switched on.",
         "アダプター「Ethernet」(192.168.0.2/24) で検索しましたが、応答はありませんでした。コンバータがコンピュー"
         "タに LAN ケーブルでつながり、電源が入っていることを確認してください。"},
        {"no adapter connected: the unbound socket's failure says no more",
         [](Pc& pc) {
             pc.adapters[0].operStatus = 2;
             pc.scan.links[0] = {net::Link{}, 10051};
             pc.in.scanError = 10051;
         },
         {"no-adapter-connected"}},
        {"the adapter list unreadable: nothing said of adapters",
         [](Pc& pc) {
             pc.adaptersReadable = false;
             pc.scan.links[0].dropped = 2;
         },
         {"searched-no-answer |192.168.0.2/24|2"},
         "No converter answered through the adapter at 192.168.0.2/24 (other datagrams ignored: 2). "
         "Check that the converter is wired to the PC and switched on."},
        {"a connected adapter without an address; a disconnected one or a tunnel says nothing",
         [](Pc& pc) {
             pc.Adapter("Ethernet 2", kIfTypeEthernet, kOperStatusUp);
             pc.Adapter("Ethernet 3", kIfTypeEthernet, 2);
             pc.Adapter("Teredo", kIfTypeTunnel, kOperStatusUp);
             pc.in.notice = 4;
         },
         {"adapter-without-address Ethernet 2", kNoAnswer}},
        {"another model answered, its 68-byte 8-bit name as the list shows it",
         [](Pc& pc) { pc.Answered(0, kName68, "10.0.0.9"); },
         {"other-model-answered ACME-AP500 caf\u00e9\uFFFD" + std::string(52, 'x') +
          "|10.0.0.9|Ethernet|192.168.0.2/24"}},
        {"the firewall on for the public network, no rule of this program",
         [](Pc& pc) {
             pc.firewall.enabled[2] = true;
             pc.firewall.rules = std::vector<ProgramRule>{{true, kProfilePrivate | kProfileDomain}};
         },
         {"firewall-may-block Ethernet|192.168.0.2/24|public|none", kNoAnswer},
         "Windows Firewall is on for the public network of the adapter \"Ethernet\" (192.168.0.2/24), and no "
         "rule allows this program there: the firewall may drop the converter's answers (Windows lets "
         "unicast answers to a broadcast back in for three seconds, but not answers sent as broadcasts). Allow this "
         "program through Windows Firewall for public networks, then scan again.",
         "アダプター「Ethernet」(192.168.0.2/24) のパブリック ネットワークでは Windows ファイアウォールが有効で、"
         "このプログラムを許可する規則がありません。コンバータの応答がファイアウォールで破棄されるおそれがあり"
         "ます (Windows は、ブロードキャストへのユニキャストの応答は 3 秒間受け入れますが、ブロードキャストで返"
         "された応答は受け入れません)。Windows ファイアウォールで、このプログラムにパブリック ネットワークでの"
         "通信を許可してから、もう一度検索してください。"},
        {"a block rule wins over an allow rule; the one current profile stands for an unlisted network",
         [](Pc& pc) {
             pc.networks.clear();
             pc.firewall.currentProfiles = kProfilePrivate;
             pc.firewall.enabled[1] = true;
             pc.firewall.rules = std::vector<ProgramRule>{{false, 7}, {true, kProfilePrivate}};
         },
         {"firewall-may-block Ethernet|192.168.0.2/24|private|blocks", kNoAnswer}},
        {"an allow rule of this program there: no firewall finding",
         [](Pc& pc) {
             pc.networks[0].category = Category::kDomain;
             pc.firewall.enabled[0] = true;
             pc.firewall.rules = std::vector<ProgramRule>{{true, kProfileDomain}};
         },
         {kNoAnswer}},
        {"the firewall's state unknown: no firewall finding",
         [](Pc& pc) { pc.firewall.rules = std::vector<ProgramRule>{}; }, {kNoAnswer}},
        {"VPN and tunnel adapters connected; Wi-Fi is none",
         [](Pc& pc) {
             pc.Adapter("PPP", kIfTypePpp, kOperStatusUp, "10.8.0.2");
             pc.Adapter("Corp VPN", kIfTypePropVirtual, kOperStatusUp, "10.9.0.2");
             pc.Adapter("Teredo", kIfTypeTunnel, kOperStatusUp, "10.10.0.2");
             pc.Adapter("Wi-Fi", kIfTypeWifi, kOperStatusUp, "172.20.0.2");
         },
         {"vpn-connected PPP", "vpn-connected Corp VPN", "vpn-connected Teredo", kNoAnswer}},
        {"a link whose sends failed and one whose receive failed",
         [](Pc& pc) {
             pc.Adapter("Wi-Fi", kIfTypeWifi, kOperStatusUp, "172.20.0.2");
             pc.scan.linkCount = 3;
             pc.scan.links[1] = {Pc::Link("172.20.0.2"), 10013};
             pc.scan.links[2] = {Pc::Link("10.1.0.2", "255.255.0.0"), 0, 10054};
             pc.in.scanError = 10054;
         },
         {"link-send-failed Wi-Fi|172.20.0.2/24|10013", "link-receive-failed |10.1.0.2/16|10054", kNoAnswer}},
        {"the scan failed before any link",
         [](Pc& pc) {
             pc.scan.linkCount = 0;
             pc.in.scanError = 10047;
         },
         {"scan-failed 10047"}},
        {"a self-assigned address where the converter answered",
         [](Pc& pc) {
             pc.adapters[0].ipv4[0] = {net::InetAddr("169.254.7.9"), 16};
             pc.scan.links[0].link = Pc::Link("169.254.7.9", "255.255.0.0");
             pc.Answered(0, "ZTL-BR720", "169.254.1.1");
         },
         {}},
        {"several: each converter with its adapter",
         [](Pc& pc) {
             pc.in.notice = 6;
             pc.scan.linkCount = 2;
             pc.scan.links[1].link = Pc::Link("172.20.0.2");
             pc.Answered(0, "ZTL-BR710 Lab", "10.0.0.5");
             pc.Answered(1, "ZTL-BR720", "172.20.0.9");
             pc.Answered(1, "ACME-AP500", "172.20.0.10");
         },
         {"converter-found ZTL-BR710 Lab|10.0.0.5|Ethernet|192.168.0.2/24",
          "converter-found ZTL-BR720|172.20.0.9||172.20.0.2/24"},
         "Found \"ZTL-BR710 Lab\" at 10.0.0.5 through the adapter \"Ethernet\" (192.168.0.2/24). "
         "Disconnect it if it is not the converter you want to set up.",
         "アダプター「Ethernet」(192.168.0.2/24) でコンバータ「ZTL-BR710 Lab」(10.0.0.5) が見つかりました。設定する"
         "コンバータでなければ、取り外してください。"},
        {"the address refused", [](Pc& pc) { pc.Assign(net::AssignOutcome::kRefused); },
         {"address-refused 192.168.0.3"},
         "The converter refused the address 192.168.0.3. Choose an address that no other device uses, "
         "then run the program again.",
         "コンバータは IP アドレス 192.168.0.3 を受け付けませんでした。ほかの機器が使っていないアドレスを指定"
         "して、もう一度実行してください。"},
        {"the address unanswered", [](Pc& pc) { pc.Assign(net::AssignOutcome::kNoAnswer); },
         {"address-no-answer 192.168.0.3"}},
        {"the exchange failed", [](Pc& pc) { pc.Assign(net::AssignOutcome::kFailed, 10050); },
         {"address-exchange-failed 192.168.0.3|10050"}},
        {"no exchange ran (Cancel)",
         [](Pc& pc) {
             pc.Assign(net::AssignOutcome::kRefused);
             pc.in.assign = nullptr;
         },
         {}},
        {"a notice without findings", [](Pc& pc) { pc.in.notice = 3; }, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Pc pc;
        row.change(pc);
        EXPECT_EQ(Built(pc), row.expected);
        if (!row.english) continue;
        const Facts facts = ReadFacts(pc);
        pc.in.facts = &facts;
        const Finding first = BuildFindings(pc.in).at(0);
        EXPECT_EQ(RenderFinding(first, Language::kEnglish), row.english);
        if (row.japanese) {
            EXPECT_EQ(RenderFinding(first, Language::kJapanese), row.japanese);
        }
    }
}

}  // namespace
}  // namespace findings
