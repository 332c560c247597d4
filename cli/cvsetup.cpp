#include "cli/cvsetup.h"

#include <shellapi.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "cli/cli_resource.h"
#include "cli/command_line.h"
#include "cli/json_writer.h"
#include "cli/scan_facts.h"
#include "findings/address_wait.h"
#include "findings/finding_codes.h"
#include "net/address_text.h"
#include "net/discovery_client.h"
#include "net/free_address.h"
#include "net/page_check.h"
#include "net/socket_port.h"
#include "net/scan_report.h"
#include "win/firewall_rules.h"
#include "win/language.h"

namespace cli {
namespace {

constexpr wchar_t kPrefix[] = L"cvsetup: ";

std::wstring AddressText(std::uint32_t address) {
    char text[net::kAddressTextSize];
    net::FormatInAddr(address, text);
    return Widen(text);
}

std::string MacText(const std::uint8_t (&mac)[6]) {
    char text[net::kMacTextSize];
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return text;
}

// A string where the shape allows null in its place.
void StringOrNull(JsonWriter& json, bool known, const std::wstring& text) {
    if (known) {
        json.String(win::ToUtf8(text));
    } else {
        json.Null();
    }
}

findings::Language FindingsLanguage() {
    return win::Language() == win::kJapanese ? findings::Language::kJapanese
                                             : findings::Language::kEnglish;
}

class Runner {
public:
    Runner(const Request& request, Environment& environment)
        : request_(request), out_(environment.out), err_(environment.err),
          browser_(environment.browser), windows_(environment.windows), program_(environment.program),
          neighbours_(environment.neighbours), idle_(environment.idle) {}

    int Run() {
        switch (request_.command) {
            case cli::Command::kList: return List();
            case cli::Command::kAssign: return Assign();
            case cli::Command::kOpen: return Open();
            case cli::Command::kDiagnose: return Diagnose();
            default: return kExitUsage;
        }
    }

    // One line on standard error, then the hint to the help.
    int UsageError(UsageError error, const std::wstring& detail, const std::wstring& link = {}) {
        static constexpr struct { cli::UsageError error; UINT text; } kTexts[] = {
            {UsageError::kNoCommand, IDS_CLI_NO_COMMAND},
            {UsageError::kUnknownCommand, IDS_CLI_UNKNOWN_COMMAND},
            {UsageError::kUnknownOption, IDS_CLI_UNKNOWN_OPTION},
            {UsageError::kMissingArgument, IDS_CLI_MISSING_ARGUMENT},
            {UsageError::kExtraArgument, IDS_CLI_EXTRA_ARGUMENT},
            {UsageError::kBadMac, IDS_CLI_BAD_MAC},
            {UsageError::kBadAddress, IDS_CLI_BAD_ADDRESS},
            {UsageError::kBadTarget, IDS_CLI_BAD_TARGET},
            {UsageError::kBadWait, IDS_CLI_BAD_WAIT},
            {UsageError::kNetworkAddress, IDS_CLI_NETWORK_ADDRESS},
            {UsageError::kBroadcastAddress, IDS_CLI_BROADCAST_ADDRESS},
            {UsageError::kPcAddress, IDS_CLI_PC_ADDRESS},
            {UsageError::kAddressInUse, IDS_CLI_ADDRESS_IN_USE},
        };
        UINT text = IDS_CLI_NO_COMMAND;
        for (const auto& entry : kTexts) {
            if (entry.error == error) text = entry.text;
        }
        err_.Write(kPrefix + Format(text, {Printable(detail), CommandWord(), link}) + L"\n" +
                   Text(IDS_CLI_HELP_HINT) + L"\n");
        return kExitUsage;
    }

private:
    std::wstring CommandWord() const {
        switch (request_.command) {
            case cli::Command::kList: return L"list";
            case cli::Command::kAssign: return L"assign";
            case cli::Command::kOpen: return L"open";
            case cli::Command::kDiagnose: return L"diagnose";
            default: return L"cvsetup";
        }
    }

    void Error(const std::wstring& text) { err_.Write(kPrefix + text + L"\n"); }

    // The program's files whose firewall rules the findings speak of: the
    // program beside cvsetup, whose notice they are, and cvsetup itself,
    // whose scan it is.
    std::vector<std::string> Programs() const {
        const std::size_t folder = program_.find_last_of("\\/") + 1;
        return {program_.substr(0, folder) + "ConverterSetup.exe", program_};
    }

    // For a firewall finding, the line an administrator can run to let the
    // program it names in as Allow in Firewall would: its rule's name and
    // the file's full path. Empty for any other finding.
    std::wstring FirewallCommand(const findings::Finding& finding) const {
        const auto* firewall = std::get_if<findings::FirewallMayBlock>(&finding);
        if (!firewall) return {};
        for (const std::string& path : Programs()) {
            if (path.substr(path.find_last_of("\\/") + 1) != firewall->program) continue;
            const wchar_t* rule = path == program_ ? win::kConsoleRuleName : win::kProgramRuleName;
            return L"netsh advfirewall firewall add rule name=\"" + std::wstring(rule) +
                   L"\" dir=in action=allow program=\"" + win::FromUtf8(path) +
                   L"\" protocol=UDP profile=any enable=yes";
        }
        return {};
    }

    // What the command looks for: for assign and open the converter named,
    // else any of a supported model.
    bool Wanted() const {
        const bool named = request_.command == cli::Command::kAssign || request_.command == cli::Command::kOpen;
        return named ? FindSupported() != nullptr : SupportedCount() > 0;
    }

    // The program's scan, whole each time, repeated with --wait until what
    // the command looks for answers or the time is up; where an adapter's
    // address may be on its way, the next scan waits for it (within the time
    // left). The last scan is the one reported.
    void ScanUntilWanted() {
        net::SocketPort& clock = net::ActivePort();
        const std::uint64_t deadline = clock.NowMs() + static_cast<std::uint64_t>(request_.waitSeconds) * 1000;
        const net::Idle idle = [this](std::uint32_t ms) { idle_(std::min(ms, findings::kAddressPollMs)); };
        for (;;) {
            facts_ = RunScan(windows_, Programs());
            const std::uint64_t now = clock.NowMs();
            if (Wanted() || now >= deadline) return;
            const findings::AddressWait wait = findings::WaitForAddress(
                windows_, clock, now, idle, [] {}, std::min(findings::kAddressWaitLimitMs, deadline - now));
            if (!wait.appeared && clock.NowMs() >= deadline) return;
        }
    }

    // The program's scan; false (after saying why) when it failed on the network.
    bool Scan() {
        ScanUntilWanted();
        if (facts_.error == 0) return true;
        Error(Format(IDS_CLI_SCAN_FAILED, {std::to_wstring(facts_.error)}));
        return false;
    }

    const Converter* FindSupported() const {
        for (const Converter& converter : facts_.converters) {
            if (!converter.supported) continue;
            const bool match = request_.byMac
                                   ? std::memcmp(converter.mac, request_.mac, sizeof request_.mac) == 0
                                   : converter.address == request_.address;
            if (match) return &converter;
        }
        return nullptr;
    }

    int SupportedCount() const {
        int count = 0;
        for (const Converter& converter : facts_.converters) count += converter.supported ? 1 : 0;
        return count;
    }

    // ----- the converter table, in words and in JSON

    std::wstring AdapterOf(const net::Link& link) const {
        return win::FromUtf8(findings::AdapterOf(link, facts_.windows));
    }

    // The adapter's name as a person reads it: "-" where Windows names none.
    std::wstring AdapterCell(const net::Link& link) const {
        const std::wstring name = AdapterOf(link);
        return name.empty() ? Text(IDS_CLI_UNKNOWN) : Printable(name);
    }

    std::wstring SubnetWord(const Converter& converter) const {
        if (!converter.link.known) return Text(IDS_CLI_UNKNOWN);
        return Text(converter.sameSubnet ? IDS_CLI_SUBNET_SAME : IDS_CLI_SUBNET_OTHER);
    }

    std::wstring ConverterTable(bool all) const {
        std::vector<std::vector<std::wstring>> rows;
        rows.push_back({Text(IDS_CLI_COLUMN_NAME), Text(IDS_CLI_COLUMN_ADDRESS),
                        Text(IDS_CLI_COLUMN_MAC), Text(IDS_CLI_COLUMN_ADAPTER),
                        Text(IDS_CLI_COLUMN_PC_ADDRESS), Text(IDS_CLI_COLUMN_SUBNET)});
        if (all) rows.back().push_back(Text(IDS_CLI_COLUMN_MODEL));
        for (const Converter& converter : facts_.converters) {
            if (!converter.supported && !all) continue;
            const bool known = converter.link.known;
            rows.push_back({Printable(converter.name), AddressText(converter.address),
                            Widen(MacText(converter.mac)),
                            AdapterCell(converter.link),
                            known ? AddressText(converter.link.address) : Text(IDS_CLI_UNKNOWN),
                            SubnetWord(converter)});
            if (all) {
                rows.back().push_back(
                    Text(converter.supported ? IDS_CLI_MODEL_SUPPORTED : IDS_CLI_MODEL_OTHER));
            }
        }
        return Table(rows);
    }

    // The adapter's name; null where Windows names none.
    void AdapterJson(JsonWriter& json, const net::Link& link) const {
        const std::wstring adapter = AdapterOf(link);
        json.Key("adapter");
        StringOrNull(json, !adapter.empty(), adapter);
    }

    void LinkJson(JsonWriter& json, const net::Link& link) const {
        if (!link.known) {
            json.Null();
            return;
        }
        json.BeginObject();
        AdapterJson(json, link);
        json.Key("address");
        json.String(win::ToUtf8(AddressText(link.address)));
        json.Key("netmask");
        json.String(win::ToUtf8(AddressText(link.netmask)));
        json.EndObject();
    }

    void ConvertersJson(JsonWriter& json, bool all) const {
        json.Key("converters");
        json.BeginArray();
        for (const Converter& converter : facts_.converters) {
            if (!all && !converter.supported) continue;
            json.BeginObject();
            json.Key("name");
            json.String(win::ToUtf8(converter.name));
            json.Key("address");
            json.String(win::ToUtf8(AddressText(converter.address)));
            json.Key("mac");
            json.String(MacText(converter.mac));
            json.Key("supported");
            json.Bool(converter.supported);
            json.Key("link");
            LinkJson(json, converter.link);
            json.Key("same_subnet");
            if (converter.link.known) {
                json.Bool(converter.sameSubnet);
            } else {
                json.Null();  // the one unbound socket of a PC without a link heard it
            }
            json.EndObject();
        }
        json.EndArray();
    }

    void WriteJson(const JsonWriter& json) { out_.Write(win::FromUtf8(json.Document())); }

    // ----- the commands

    int List() {
        if (!Scan()) return kExitNetworkFailed;
        const bool found = SupportedCount() > 0;
        if (request_.json) {
            JsonWriter json;
            json.BeginObject();
            ConvertersJson(json, request_.all);
            json.EndObject();
            WriteJson(json);
        } else if (found || (request_.all && !facts_.converters.empty())) {
            out_.Write(ConverterTable(request_.all));
        }
        if (!found) Error(Text(IDS_CLI_NONE_FOUND));
        return found ? kExitOk : kExitNotFound;
    }

    int Assign() {
        if (!Scan()) return kExitNetworkFailed;
        const std::wstring address = AddressText(request_.address);
        const std::wstring mac = Widen(MacText(request_.mac));
        const Converter* converter = FindSupported();
        if (converter == nullptr) {
            Error(Format(IDS_CLI_NO_SUCH_MAC, {mac}));
            if (request_.json) WriteAssignJson(nullptr, nullptr);
            return kExitNotFound;
        }
        const net::Link& link = converter->link;
        if (link.known) {
            // Inside the link's subnet the link is asked who holds it.
            const cli::UsageError reserved = RefusalOnLink(
                net::CheckTypedAddress(net::ActivePort(), neighbours_, request_.address, link, idle_));
            if (reserved != cli::UsageError::kNone) {
                return UsageError(reserved, address,
                                  AddressText(link.address) + L"/" + AddressText(link.netmask));
            }
            if ((request_.address & link.netmask) != (link.address & link.netmask)) {
                Error(Format(IDS_CLI_OUTSIDE_SUBNET,
                             {address, AdapterOf(link), AddressText(link.address),
                              AddressText(link.netmask)}));
            }
        }
        net::AssignReport report;
        net::DiscoveryClient client;
        client.AssignExchange(win::ToUtf8(address).c_str(), MacText(request_.mac).c_str(), link,
                              &report);
        if (request_.json) {
            WriteAssignJson(converter, &report);
        } else if (report.outcome != net::AssignOutcome::kFailed) {
            const UINT text = report.outcome == net::AssignOutcome::kTaken ? IDS_CLI_ASSIGN_TAKEN
                              : report.outcome == net::AssignOutcome::kRefused
                                  ? IDS_CLI_ASSIGN_REFUSED
                                  : IDS_CLI_ASSIGN_NO_ANSWER;
            out_.Write(Format(text, {Printable(converter->name), mac, address}) + L"\n");
        }
        switch (report.outcome) {
            case net::AssignOutcome::kTaken: return kExitOk;
            case net::AssignOutcome::kFailed:
                Error(Format(IDS_CLI_EXCHANGE_FAILED, {std::to_wstring(report.error)}));
                return kExitNetworkFailed;
            default: return kExitNotTaken;
        }
    }

    void WriteAssignJson(const Converter* converter, const net::AssignReport* report) {
        static constexpr const char* kResults[] = {"taken", "refused", "no answer", "failed"};
        JsonWriter json;
        json.BeginObject();
        json.Key("mac");
        json.String(MacText(request_.mac));
        json.Key("address");
        json.String(win::ToUtf8(AddressText(request_.address)));
        json.Key("result");
        if (report != nullptr) {
            json.String(kResults[static_cast<int>(report->outcome)]);
        } else {
            json.Null();  // no converter with that MAC: no exchange ran
        }
        json.Key("error");
        if (report != nullptr && report->outcome == net::AssignOutcome::kFailed) {
            json.Int(report->error);
        } else {
            json.Null();
        }
        json.Key("link");
        LinkJson(json, converter != nullptr ? converter->link : net::Link{});
        json.EndObject();
        WriteJson(json);
    }

    int Open() {
        if (!Scan()) return kExitNetworkFailed;
        const Converter* converter = FindSupported();
        if (converter == nullptr) {
            Error(request_.byMac ? Format(IDS_CLI_NO_SUCH_MAC, {Widen(MacText(request_.mac))})
                                 : Format(IDS_CLI_NO_SUCH_ADDRESS, {AddressText(request_.address)}));
            return kExitNotFound;
        }
        const std::wstring address = AddressText(converter->address);
        // The program's own test: the link that heard the converter, or where
        // none is known, every interface of the PC.
        char pcAddress[net::kAddressTextSize] = "";
        char pcNetmask[net::kAddressTextSize] = "";
        net::DiscoveryClient client;
        const int inSubnet =
            client.SubnetTest(pcAddress, pcNetmask, win::ToUtf8(address).c_str(), converter->link);
        if (inSubnet == 0) {
            Error(Text(IDS_CLI_SUBNET_WARNING) + L"\n\n" + Text(IDS_CLI_SUBNET_ADDRESS_LABEL) +
                  Widen(pcAddress) + L"\n" + Text(IDS_CLI_SUBNET_LABEL) + Widen(pcNetmask));
        }
        const std::wstring url = L"http://" + address;
        // Outside the subnet too: the routes may still reach it.
        const net::PageCheck page = net::CheckPage(net::ActivePort(), converter->address, converter->link, idle_);
        if (!page.answered) {
            Error(Format(page.Met() == net::PageMet::kRefused ? IDS_CLI_PAGE_REFUSED : IDS_CLI_PAGE_NO_ANSWER,
                         {url}));
            return kExitPageNotAnswering;
        }
        if (const DWORD error = browser_.Open(url)) {
            Error(Format(IDS_CLI_BROWSER_FAILED, {std::to_wstring(error)}));
            return kExitBrowserFailed;
        }
        out_.Write(Format(IDS_CLI_OPENED, {url}) + L"\n");
        return kExitOk;
    }

    std::wstring LinkLine(const net::LinkReport& report) const {
        std::wstring line = L"  ";
        if (report.link.known) {
            line += AdapterCell(report.link) + L" (" + AddressText(report.link.address) + L"/" +
                    AddressText(report.link.netmask) + L"): ";
        } else {
            line += Text(IDS_CLI_LINK_NO_ADDRESS) + L": ";
        }
        if (report.sendError != 0) {
            return line + Format(IDS_CLI_LINK_SEND_FAILED, {std::to_wstring(report.sendError)});
        }
        line += Format(IDS_CLI_LINK_SENT, {std::to_wstring(report.received),
                                           std::to_wstring(report.accepted),
                                           std::to_wstring(report.dropped)});
        if (report.receiveError != 0) {
            line += Format(IDS_CLI_LINK_RECEIVE_FAILED, {std::to_wstring(report.receiveError)});
        }
        return line;
    }

    void LinkReportJson(JsonWriter& json, const net::LinkReport& report) const {
        const net::Link& link = report.link;
        json.BeginObject();
        AdapterJson(json, link);
        json.Key("address");
        StringOrNull(json, link.known, AddressText(link.address));
        json.Key("netmask");
        StringOrNull(json, link.known, AddressText(link.netmask));
        json.Key("sent");
        json.Bool(report.sendError == 0);
        json.Key("error");
        const int error = report.sendError != 0 ? report.sendError : report.receiveError;
        if (error != 0) {
            json.Int(error);
        } else {
            json.Null();
        }
        json.Key("received");
        json.Int(report.received);
        json.Key("accepted");
        json.Int(report.accepted);
        json.Key("dropped");
        json.Int(report.dropped);
        json.EndObject();
    }

    int Diagnose() {
        ScanUntilWanted();
        const std::vector<findings::Finding> findings = FindingsOf(facts_);
        if (request_.json) {
            JsonWriter json;
            json.BeginObject();
            ConvertersJson(json, true);
            json.Key("links");
            json.BeginArray();
            for (const net::LinkReport& link : facts_.links) LinkReportJson(json, link);
            json.EndArray();
            json.Key("findings");
            json.BeginArray();
            for (const findings::Finding& finding : findings) {
                json.BeginObject();
                json.Key("code");
                json.String(findings::CodeName(finding));
                json.Key("text");
                json.String(findings::RenderFinding(finding, FindingsLanguage()));
                const std::wstring command = FirewallCommand(finding);
                if (!command.empty()) {
                    json.Key("command");
                    json.String(win::ToUtf8(command));
                }
                json.EndObject();
            }
            json.EndArray();
            json.EndObject();
            WriteJson(json);
        } else {
            std::wstring text = Text(IDS_CLI_CONVERTERS) + L"\n";
            text += facts_.converters.empty() ? Text(IDS_CLI_NONE) + L"\n" : ConverterTable(true);
            text += L"\n" + Text(IDS_CLI_LINKS) + L"\n";
            for (const net::LinkReport& link : facts_.links) text += LinkLine(link) + L"\n";
            if (facts_.links.empty()) text += Text(IDS_CLI_NONE) + L"\n";
            text += L"\n" + Text(IDS_CLI_FINDINGS) + L"\n";
            if (findings.empty()) text += Text(IDS_CLI_NONE) + L"\n";
            for (const findings::Finding& finding : findings) {
                text += L"  " + win::FromUtf8(findings::RenderFinding(finding, FindingsLanguage())) +
                        L" [" + Widen(findings::CodeName(finding)) + L"]\n";
                const std::wstring command = FirewallCommand(finding);
                if (!command.empty()) {
                    // A block rule wins over the allow rule: it has to go first.
                    const bool blocked =
                        std::get<findings::FirewallMayBlock>(finding).rule == findings::RuleVerdict::kBlocks;
                    text += L"    " + Text(blocked ? IDS_CLI_FIREWALL_COMMAND_BLOCKED : IDS_CLI_FIREWALL_COMMAND) +
                            L"\n      " + command + L"\n";
                }
            }
            out_.Write(text);
        }
        if (facts_.error != 0) {
            Error(Format(IDS_CLI_SCAN_FAILED, {std::to_wstring(facts_.error)}));
            return kExitNetworkFailed;
        }
        if (SupportedCount() == 0) {
            Error(Text(IDS_CLI_NONE_FOUND));
            return kExitNotFound;
        }
        return kExitOk;
    }

    const Request& request_;
    TextStream& out_;
    TextStream& err_;
    Browser& browser_;
    findings::FactsSource& windows_;
    const std::string program_;
    net::NeighbourTable& neighbours_;
    const net::Idle idle_;
    ScanFacts facts_;
};

}  // namespace

DWORD ShellBrowser::Open(const std::wstring& url) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
    info.lpVerb = L"open";
    info.lpFile = url.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) return 0;
    const DWORD error = GetLastError();
    return error != 0 ? error : ERROR_NO_ASSOCIATION;
}

namespace {

int RunCommand(const std::vector<std::string>& arguments, Environment& environment) {
    const Request request = ParseCommandLine(arguments);
    Runner command(request, environment);
    if (request.error != UsageError::kNone) {
        return command.UsageError(request.error, win::FromUtf8(request.detail));
    }
    if (request.command == cli::Command::kHelp) {
        environment.out.Write(Text(IDS_CLI_HELP) + L"\n");
        return kExitOk;
    }
    if (request.command == cli::Command::kVersion) {
        environment.out.Write(L"cvsetup " CS_PROJECT_VERSION L"\n");
        return kExitOk;
    }
    return command.Run();
}

}  // namespace

int OutOfMemory(TextStream& err) {
    err.Write(L"cvsetup: out of memory\n");
    return kExitNetworkFailed;
}

int Run(const std::vector<std::string>& arguments, Environment& environment) {
    try {
        return RunCommand(arguments, environment);
    } catch (const std::bad_alloc&) {
        return OutOfMemory(environment.err);
    }
}

}  // namespace cli
