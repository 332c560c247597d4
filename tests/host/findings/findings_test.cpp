// One table from facts to findings: each row changes a PC that has one
// connected Ethernet adapter on 192.168.0.2/24 (its network public, the
// firewall unknown, as under wine), searched that link through its three
// cycles and heard nothing; the notice's findings are built as the program
// builds them, from the last scan's state.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <variant>
#include <vector>

#include "findings/findings.h"
#include "net/address_text.h"

namespace findings {
namespace {

const std::string kName68 = "ACME-AP500 caf\xE9\n" + std::string(52, 'x');  // no NUL: 68 bytes
const char* const kProgram = "C:\\Program Files\\Converter Setup\\ConverterSetup.exe";

struct Pc : FactsSource {
    std::vector<AdapterEntry> adapters = {{"{E1}", "Ethernet", kIfTypeEthernet, kOperStatusUp,
                                           {{net::InetAddr("192.168.0.2"), 24}}}};
    bool adaptersReadable = true;
    std::vector<NetworkEntry> networks = {{"{e1}", Category::kPublic}};
    bool networksReadable = true;
    FirewallEntry firewall;
    std::vector<std::string> programs = {kProgram};
    Notice notice = Notice::kNotFound;
    int waited = 0;  // seconds the flow waited for an address
    const net::AssignReport* assign = nullptr;
    net::AssignReport report;
    net::PageCheck check, *page = nullptr;

    Pc() {
        net::g_scanReport = {};
        net::g_scanReport.linkCount = 1;
        net::g_scanReport.links[0] = {Link("192.168.0.2"), 0, 0, 0, 0, 0, 3};
        net::g_scanState.lastError = 0;
        net::g_scanState.count = 0;
    }
    static net::Link Link(const char* address, const char* mask = "255.255.255.0") {
        return {true, net::InetAddr(address), net::InetAddr(mask)};
    }
    static net::LinkReport& Report(int link) { return net::g_scanReport.links[link]; }
    void Adapter(const char* name, unsigned ifType, unsigned operStatus, const char* address = nullptr) {
        adapters.push_back({name, name, ifType, operStatus, {}});
        if (address) adapters.back().ipv4.push_back({net::InetAddr(address), 24});
    }
    void Answered(int link, const std::string& name, const char* address) {
        std::uint8_t reply[net::kDatagramSize] = {1, net::kDiscoveryReply};
        net::AddressToBytes(net::InetAddr(address), reply + net::kAddressOffset);
        std::memcpy(reply + net::kNameOffset, name.data(), std::min(name.size(), net::kNameLength));
        net::StoreRecord(net::g_scanState.count++, reply, Report(link).link);
        Report(link).accepted++;
    }
    void Assign(net::AssignOutcome outcome, int error = 0) {
        notice = Notice::kAssignFailed;
        report = {outcome, error};
        assign = &report;
    }
    void Page(int refused) { notice = Notice::kOpenFailed, check.attempts = 30, check.refused = refused, page = &check; }
    // The firewall on for the public network.
    void Firewall(std::vector<ProgramRule> rules) {
        firewall.enabled[2] = true;
        firewall.rules = std::move(rules);
    }
    bool ReadAdapters(std::vector<AdapterEntry>* out) override { return *out = adapters, adaptersReadable; }
    bool ReadNetworks(std::vector<NetworkEntry>* out) override { return *out = networks, networksReadable; }
    FirewallEntry ReadFirewall(const std::vector<std::string>& asked) override {
        EXPECT_EQ(asked, programs);
        return firewall;
    }
};

std::vector<Finding> Build(Pc& pc) {
    const Facts facts = ReadFacts(pc, pc.programs);
    Inputs in = LastScanInputs(pc.notice, &facts, nullptr);
    in.assign = pc.assign;
    in.assignAddress = "192.168.0.3";
    in.page = pc.page, in.pageAddress = "192.168.0.4", in.pageLink = Pc::Link("192.168.0.2");
    in.waitedSeconds = pc.waited;
    return BuildFindings(in);
}

std::string Text(const std::string& text) { return text; }
std::string Text(int number) { return std::to_string(number); }
std::string Text(Category c) { return c == Category::kPrivate ? "private" : c == Category::kDomain ? "domain" : "public"; }
std::string Text(RuleVerdict rule) { return rule == RuleVerdict::kBlocks ? "blocks" : "none"; }
std::string Text(net::PageMet met) { return met == net::PageMet::kRefused ? "refused" : "no answer"; }

// "code argument|argument|...", the arguments in their order.
std::vector<std::string> Lines(const std::vector<Finding>& findings) {
    std::vector<std::string> out;
    for (const Finding& f : findings) {
        std::string line = CodeName(f);
        const char* separator = " ";
        std::visit([&](const auto& args) {
            std::apply([&](const auto&... each) { ((line += separator + Text(each), separator = "|"), ...); },
                       args.Fields());
        }, f);
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
        const char* english = nullptr;  // the first finding, rendered (nullptr: not checked)
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
             Pc::Report(0) = {net::Link{}, 10051};
             net::g_scanState.lastError = 10051;
         },
         {"no-adapter-connected"}},
        {"none connected now: the link that was searched is named by the adapter that held it",
         [](Pc& pc) { pc.adapters[0].operStatus = 2; }, {kNoAnswer}},
        {"none connected now, but the link was searched: an adapter without a name heard nothing",
         [](Pc& pc) {
             pc.adapters[0].operStatus = 2;
             pc.adapters[0].name.clear();
         },
         {"searched-no-answer |192.168.0.2/24|0"},
         "Nothing answered through an adapter without a name (192.168.0.2/24). Check that the converter is "
         "wired to the PC and switched on.",
         "名前のないアダプター (192.168.0.2/24) で検索しましたが、応答はありませんでした。コンバータがコンピュー"
         "タに LAN ケーブルでつながり、電源が入っていることを確認してください。"},
        {"the adapter list unreadable: nothing said of adapters",
         [](Pc& pc) {
             pc.adaptersReadable = false;
             Pc::Report(0).dropped = 2;
         },
         {"searched-no-answer |192.168.0.2/24|2"}},
        {"no link to bind to: the system's route heard nothing", [](Pc&) { Pc::Report(0).link = {}; },
         {"searched-no-answer ||0"},
         "Nothing answered through an adapter without a name. Check that the converter is wired to the PC and "
         "switched on."},
        {"a connected adapter without a name nor an address; a disconnected one or a tunnel says nothing",
         [](Pc& pc) {
             pc.Adapter("", kIfTypeEthernet, kOperStatusUp);
             pc.Adapter("Ethernet 3", kIfTypeEthernet, 2);
             pc.Adapter("Teredo", kIfTypeTunnel, kOperStatusUp);
             pc.notice = Notice::kRescanNotFound;
         },
         {"adapter-without-address |0", kNoAnswer},
         "An adapter without a name is connected but has no IPv4 address yet. When no DHCP server answers, "
         "Windows gives itself an address about 10 seconds after the cable goes in: wait a few seconds, then scan "
         "again. If it still has none, set the adapter's IPv4 settings to \"Obtain an IP address automatically\", "
         "or give it a fixed address."},
        {"an adapter whose one address is still tentative, after the program waited 15 s",
         [](Pc& pc) {
             pc.Adapter("Ethernet 3", kIfTypeEthernet, kOperStatusUp);
             pc.adapters.back().ipv4 = {{net::InetAddr("169.254.7.7"), 16, false}};
             pc.waited = 15;
         },
         {"adapter-without-address Ethernet 3|15", kNoAnswer}},
        {"another model answered, its 68-byte 8-bit name as the list shows it; the firewall lets answers in there",
         [](Pc& pc) {
             pc.Answered(0, kName68, "10.0.0.9");
             pc.Firewall({});
         },
         {"other-model-answered ACME-AP500 caf\u00e9\n" + std::string(52, 'x') + "|10.0.0.9|Ethernet|192.168.0.2/24"},
         "A device of a model this program does not set up answered through the adapter \"Ethernet\" "
         "(192.168.0.2/24): \"ACME-AP500 caf\u00e9\uFFFDxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx\" at "
         "10.0.0.9. Connect the converter you want to set up, then scan again."},
        {"the firewall on for the public network, no rule of the program there",
         [](Pc& pc) { pc.Firewall({{0, true, kProfilePrivate | kProfileDomain}}); },
         {"firewall-may-block Ethernet|192.168.0.2/24|public|none|ConverterSetup.exe", kNoAnswer},
         "Windows Firewall is on for the public network of the adapter \"Ethernet\" (192.168.0.2/24), and no "
         "rule allows ConverterSetup.exe there: the firewall may drop the converter's answers (Windows lets "
         "unicast answers to a broadcast back in for three seconds, but not answers sent as broadcasts). Allow "
         "ConverterSetup.exe through Windows Firewall for public networks, then scan again."},
        {"each program file by its name: a block rule wins over an allow rule; the other has none",
         [](Pc& pc) {
             pc.programs.push_back("C:\\Tools\\cvsetup.exe");
             pc.Firewall({{0, true, 7}, {0, false, 7}, {1, true, kProfilePrivate}});
         },
         {"firewall-may-block Ethernet|192.168.0.2/24|public|blocks|ConverterSetup.exe",
          "firewall-may-block Ethernet|192.168.0.2/24|public|none|cvsetup.exe", kNoAnswer},
         "Windows Firewall is on for the public network of the adapter \"Ethernet\" (192.168.0.2/24), and a rule "
         "blocks ConverterSetup.exe there: the firewall drops the converter's answers. Turn that rule off under "
         "Inbound Rules in Windows Firewall's advanced settings, then scan again.",
         "アダプター「Ethernet」(192.168.0.2/24) のパブリック ネットワークでは Windows ファイアウォールが有効で、"
         "ConverterSetup.exe をブロックする規則があります。コンバータの応答はファイアウォールで破棄されます。"
         "Windows ファイアウォールの詳細設定の「受信の規則」でその規則を無効にしてから、もう一度検索してください。"},
        {"the network list unreadable: the one current profile stands in",
         [](Pc& pc) {
             pc.networksReadable = false;
             pc.firewall.currentProfiles = kProfilePrivate;
             pc.firewall.enabled[1] = true;
             pc.firewall.rules = std::vector<ProgramRule>{};
         },
         {"firewall-may-block Ethernet|192.168.0.2/24|private|none|ConverterSetup.exe", kNoAnswer}},
        {"a network the list does not name yet: no category, whatever profile is current",
         [](Pc& pc) {
             pc.networks.clear();
             pc.firewall.currentProfiles = kProfilePublic;
             pc.Firewall({});
         },
         {kNoAnswer}},
        {"the firewall's state unknown: no firewall finding",
         [](Pc& pc) { pc.firewall.rules = std::vector<ProgramRule>{}; }, {kNoAnswer}},
        {"VPN and tunnel adapters connected, one without a name; Wi-Fi is none",
         [](Pc& pc) {
             pc.Adapter("", kIfTypePpp, kOperStatusUp, "10.8.0.2");
             pc.Adapter("Corp VPN", kIfTypePropVirtual, kOperStatusUp, "10.9.0.2");
             pc.Adapter("Teredo", kIfTypeTunnel, kOperStatusUp, "10.10.0.2");
             pc.Adapter("Wi-Fi", kIfTypeWifi, kOperStatusUp, "172.20.0.2");
         },
         {"vpn-connected ", "vpn-connected Corp VPN", "vpn-connected Teredo", kNoAnswer},
         nullptr,
         "名前のない VPN またはトンネルのアダプターが接続されています。VPN によってはローカル ネットワークと通信"
         "できなくなります。VPN を切断してから、もう一度検索してください。"},
        {"a link whose sends failed and one whose receive failed, with the error the scan ended with",
         [](Pc& pc) {
             pc.Adapter("Wi-Fi", kIfTypeWifi, kOperStatusUp, "172.20.0.2");
             net::g_scanReport.linkCount = 3;
             Pc::Report(1) = {Pc::Link("172.20.0.2"), 10013};
             Pc::Report(2) = {Pc::Link("10.1.0.2", "255.255.0.0"), 0, 10054, 0, 0, 0, 1};
             net::g_scanState.lastError = 10054;
         },
         {"link-send-failed Wi-Fi|172.20.0.2/24|10013", "link-receive-failed |10.1.0.2/16|10054", kNoAnswer}},
        {"a datagram of another size on the link",
         [](Pc&) {
             Pc::Report(0) = {Pc::Link("192.168.0.2"), 0, 10040};
             net::g_scanState.lastError = 10040;
         },
         {"link-receive-failed Ethernet|192.168.0.2/24|10040"},
         "The search stopped listening through the adapter \"Ethernet\" (192.168.0.2/24) (error 10040): a device "
         "on that network sent a datagram of another size than a converter's answer. Nothing is wrong with the "
         "adapter. Scan again; if this comes back, unplug the other devices on that network or wire the converter "
         "straight to the PC, then scan again."},
        {"a failed wait cut the search short: nothing said of silence; what answered before, and its error",
         [](Pc& pc) {
             pc.Adapter("Wi-Fi", kIfTypeWifi, kOperStatusUp, "172.20.0.2");
             net::g_scanReport.linkCount = 3;
             Pc::Report(0).cycles = 1;
             Pc::Report(1) = {Pc::Link("172.20.0.2"), 0, 0, 0, 0, 0, 1};
             pc.Answered(1, "ACME-AP500", "172.20.0.9");
             Pc::Report(2) = {Pc::Link("10.1.0.2", "255.255.0.0"), 10013};
             net::g_scanState.lastError = 10038;
         },
         {"other-model-answered ACME-AP500|172.20.0.9|Wi-Fi|172.20.0.2/24", "link-send-failed |10.1.0.2/16|10013",
          "scan-failed 10038"}},
        {"the scan failed before any link, the worker out of memory",
         [](Pc&) {
             net::g_scanReport.linkCount = 0;
             net::g_scanState.lastError = 10055;
         },
         {"scan-failed 10055"},
         nullptr,
         "メモリまたはシステム リソースが不足しているため、検索に失敗しました (エラー 10055)。いくつかのプログラムを"
         "終了してから、もう一度検索してください。"},
        {"a self-assigned address where the converter answered",
         [](Pc& pc) {
             pc.adapters[0].ipv4[0] = {net::InetAddr("169.254.7.9"), 16};
             Pc::Report(0).link = Pc::Link("169.254.7.9", "255.255.0.0");
             pc.Answered(0, "ZTL-BR720", "169.254.1.1");
         },
         {}},
        {"several: each converter with its adapter",
         [](Pc& pc) {
             pc.notice = Notice::kSeveral;
             net::g_scanReport.linkCount = 2;
             Pc::Report(1).link = Pc::Link("172.20.0.2");
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
             pc.assign = nullptr;
         },
         {}},
        {"the shell failed: notice 3 without findings", [](Pc& pc) { pc.notice = Notice::kOpenFailed; }, {}},
        {"the page never answered", [](Pc& pc) { pc.Page(0); }, {"page-not-answering 192.168.0.4|Ethernet|192.168.0.2/24|no answer"},
         "Nothing answered at 192.168.0.4 through the adapter \"Ethernet\" (192.168.0.2/24) for 15 seconds, so the "
         "setup page was not opened. Check that the converter is switched on and wired to the PC, then run the "
         "program again."},
        {"the page refused once", [](Pc& pc) { pc.Page(1); }, {"page-not-answering 192.168.0.4|Ethernet|192.168.0.2/24|refused"},
         nullptr, "アダプター「Ethernet」(192.168.0.2/24) で 192.168.0.4 の設定ページへの接続が 15 秒間拒否されました。"
         "コンバータの Web サーバーがまだ起動中の可能性があります。1 分ほど待ってから、もう一度実行してください。"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Pc pc;
        row.change(pc);
        const std::vector<Finding> findings = Build(pc);
        EXPECT_EQ(Lines(findings), row.expected);
        for (const auto& [language, text] : {std::pair(Language::kEnglish, row.english), {Language::kJapanese, row.japanese}}) {
            EXPECT_EQ(text ? RenderFinding(findings.at(0), language) : "", text ? text : "");
        }
    }
}

// What the firewall's rules of the program make of the converter's answers
// (UDP from any address and port 192, to whatever port the scan's socket got)
// on the public network of an Ethernet adapter.
TEST(Findings, AFirewallRuleDecidesOnlyWhereItTakesInEveryAnswer) {
    // {program, allows, profiles, protocol, local ports, remote ports, remote addresses, named
    // interfaces, interface types}, for public and private networks.
    constexpr unsigned kOn = kProfilePublic | kProfilePrivate;
    const ProgramRule allow{0, true, kOn}, block{0, false, kOn}, someLocalPorts{0, true, kOn, 17, "5000-5100"};
    const ProgramRule blockSubnet{0, false, kOn, kProtocolAny, "*", "*", "LocalSubnet"};
    const struct {
        const char* name;
        std::vector<ProgramRule> rules;
        const char* verdict;
        unsigned ifType = kIfTypeEthernet;
    } rows[] = {
        {"no rule", {}, "none"},
        {"UDP, every port, address and interface", {{0, true, kOn, 17, "*", "*", "*", false, "RemoteAccess, Lan"}},
         "allows"},
        {"TCP, private, another program's: none applies", {{0, true, kOn, 6}, {0, true, 2}, {1, true, kOn}}, "none"},
        {"Wi-Fi alone, on Ethernet", {{0, true, kOn, kProtocolAny, "*", "*", "*", false, "Wireless"}}, "none"},
        {"some local ports", {someLocalPorts}, "unknown"},
        {"some remote ports", {{0, true, kOn, 17, "*", "192"}}, "unknown"},
        {"the local subnet", {{0, true, kOn, kProtocolAny, "*", "*", "LocalSubnet"}}, "unknown"},
        {"named interfaces", {{0, true, kOn, kProtocolAny, "*", "*", "*", true}}, "unknown"},
        {"a protocol that would not tell", {{0, true, kOn, kProtocolUnknown}}, "unknown"},
        {"Lan, on an adapter of no kind it names", {{0, true, kOn, kProtocolAny, "*", "*", "*", false, "Lan"}},
         "unknown", 1},
        {"an allow rule for some answers beside one for all", {someLocalPorts, allow}, "allows"},
        {"a block rule for some answers beside an allow rule for all", {allow, blockSubnet}, "unknown"},
        {"a block rule for all answers wins, read last", {someLocalPorts, blockSubnet, allow, block}, "blocks"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Pc pc;
        pc.adapters[0].ifType = row.ifType;
        pc.Firewall(row.rules);
        const Facts facts = ReadFacts(pc, pc.programs);
        const std::optional<RuleVerdict> verdict = facts.adapters.at(0).rules.at(0);
        EXPECT_EQ(!verdict                            ? "unknown"
                  : *verdict == RuleVerdict::kAllows ? "allows"
                  : *verdict == RuleVerdict::kBlocks ? "blocks"
                                                     : "none",
                  std::string(row.verdict));
    }
}

// The notice whose findings tell of the last scan, as the program shows it.
TEST(Findings, TellOfTheLastScanInTheNoticeTheProgramShowsForIt) {
    const struct {
        int lastError;
        std::vector<const char*> names;  // the records, in the table's order
        Notice notice;
    } rows[] = {{10065, {}, Notice::kRescanNotFound},
                {10051, {"ZTL-BR720 A"}, Notice::kNotFound},
                {0, {"ztl-br720", "ACME-AP500"}, Notice::kNotFound},
                {0, {"ACME-AP500", "ZTL-BR720 A"}, Notice::kNone},
                {0, {"ZTL-BR710 B", "ACME-AP500", "ZTL-BR720 A"}, Notice::kSeveral}};
    for (const auto& row : rows) {
        Pc pc;
        for (const char* name : row.names) pc.Answered(0, name, "192.168.0.50");
        net::g_scanState.lastError = row.lastError;
        EXPECT_EQ(static_cast<int>(NoticeOfLastScan()), static_cast<int>(row.notice)) << row.lastError << " " << row.names.size();
    }
}

}  // namespace
}  // namespace findings
