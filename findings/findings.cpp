#include "findings/findings.h"

#include <algorithm>
#include <bitset>

#include "findings/model_filter.h"
#include "net/address_text.h"
#include "net/exchange.h"
#include "net/socket_port.h"

namespace findings {
namespace {

std::string Latin1ToUtf8(const std::string& bytes) {
    std::string out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x80) {
            out += c;
        } else {
            out += static_cast<char>(0xC0 | byte >> 6);
            out += static_cast<char>(0x80 | (byte & 0x3F));
        }
    }
    return out;
}

std::string AddressText(std::uint32_t address) {
    char text[net::kAddressTextSize];
    net::FormatInAddr(address, text);
    return text;
}

std::string LinkText(std::uint32_t address, std::size_t prefixLength) {
    return AddressText(address) + "/" + std::to_string(prefixLength);
}

std::string LinkText(const net::Link& link) {
    return link.known ? LinkText(link.address, std::bitset<32>(link.netmask).count()) : std::string();
}

bool Searched(const AdapterFacts& adapter) { return adapter.connected && !adapter.ipv4.empty(); }

class Builder {
public:
    explicit Builder(const Inputs& in) : in_(in) {}

    // Everything the inputs tell; the table of codes decides what the notice shows.
    std::vector<Finding> Build() {
        Assign();
        Page();
        Records(true);
        NotFound();
        out_.erase(std::remove_if(out_.begin(), out_.end(),
                                  [this](const Finding& f) { return !BelongsTo(CodeOf(f), in_.notice); }),
                   out_.end());
        return out_;
    }

private:
    void Add(Finding finding) { out_.push_back(std::move(finding)); }

    std::string AdapterOf(const net::Link& link) const {
        return in_.facts ? findings::AdapterOf(link, *in_.facts) : std::string();
    }

    void Page() {
        if (!in_.page || in_.page->answered) return;
        Add(PageNotAnswering{in_.pageAddress, AdapterOf(in_.pageLink), LinkText(in_.pageLink), in_.page->Met()});
    }

    void Assign() {
        if (!in_.assign) return;
        switch (in_.assign->outcome) {
            case net::AssignOutcome::kTaken: break;
            case net::AssignOutcome::kRefused: Add(AddressRefused{in_.assignAddress}); break;
            case net::AssignOutcome::kNoAnswer: Add(AddressNoAnswer{in_.assignAddress}); break;
            case net::AssignOutcome::kFailed:
                Add(AddressExchangeFailed{in_.assignAddress, in_.assign->error});
                break;
        }
    }

    // Each stored record of a supported model (converter-found) or of another.
    void Records(bool supported) {
        if (!in_.records) return;
        const int count = std::min(std::max(in_.recordCount, 0), net::kDeviceTableCapacity);
        for (int i = 0; i < count; ++i) {
            const net::DeviceRecord& record = in_.records[i];
            char name[net::kNameTextSize];
            net::ReadConverterName(record, name);
            if (IsSupportedModel(name) != supported) continue;
            char address[net::kAddressTextSize];
            net::FormatAddress(record, address);
            const net::Link link = net::LinkOf(&record);
            std::string decoded = (in_.decodeName ? in_.decodeName : Latin1ToUtf8)(name);
            if (supported) {
                Add(ConverterFound{std::move(decoded), address, AdapterOf(link), LinkText(link)});
            } else {
                Add(OtherModelAnswered{std::move(decoded), address, AdapterOf(link), LinkText(link)});
            }
        }
    }

    void NotFound() {
        const Facts* facts = in_.facts && in_.facts->adaptersKnown ? in_.facts : nullptr;
        // A link that sent was connected, whatever Windows says now.
        const bool noneConnected =
            facts && !AnyLinkSent() &&
            std::none_of(facts->adapters.begin(), facts->adapters.end(),
                         [](const AdapterFacts& a) { return a.connected; });
        if (noneConnected) Add(NoAdapterConnected{});
        const std::vector<AdapterFacts> unknown;
        const std::vector<AdapterFacts>& adapters = facts ? facts->adapters : unknown;
        for (const AdapterFacts& a : adapters) {
            // A tunnel without IPv4 (Teredo, say) is nothing the cable goes into.
            if (a.connected && a.ipv4.empty() && a.kind != AdapterKind::kTunnel) {
                Add(AdapterWithoutAddress{a.name, std::max(in_.waitedSeconds, 0)});
            }
        }
        Records(false);
        for (const AdapterFacts& a : adapters) {
            // Where a reply came in, answers do get through.
            if (!Searched(a) || !a.category || !a.firewallOn.value_or(false) || Answered(a)) continue;
            for (std::size_t p = 0; p < a.rules.size() && p < facts->programs.size(); ++p) {
                if (!a.rules[p] || *a.rules[p] == RuleVerdict::kAllows) continue;
                const auto prefix = static_cast<std::size_t>(std::clamp(a.ipv4[0].prefixLength, 0, 32));
                Add(FirewallMayBlock{a.name, LinkText(a.ipv4[0].address, prefix), *a.category, *a.rules[p],
                                     facts->programs[p]});
            }
        }
        for (const AdapterFacts& a : adapters) {
            if (Searched(a) && a.kind == AdapterKind::kTunnel) Add(VpnConnected{a.name});
        }
        LinkFailures(noneConnected);
        NoAnswer();
    }

    int LinkCount() const {
        return in_.scan ? std::min(std::max(in_.scan->linkCount, 0), static_cast<int>(net::kMaxLinks)) : 0;
    }

    bool AnyLinkSent() const {
        for (int i = 0; i < LinkCount(); ++i) {
            if (in_.scan->links[i].link.known && in_.scan->links[i].sendError == 0) return true;
        }
        return false;
    }

    // Whether a reply, of any model, came in through one of the adapter's addresses.
    bool Answered(const AdapterFacts& adapter) const {
        for (int i = 0; i < LinkCount(); ++i) {
            const net::LinkReport& report = in_.scan->links[i];
            for (const AdapterFacts::Address& ip : adapter.ipv4) {
                if (report.link.known && report.accepted > 0 && ip.address == report.link.address) return true;
            }
        }
        return false;
    }

    // A failure of the unbound socket, or one outside every link, is the
    // scan's. The error the scan ended with is named, by a link's failure
    // that carries it or else by the scan's; with nothing connected it says
    // nothing the first finding did not.
    void LinkFailures(bool noneConnected) {
        bool explained = false;
        for (int i = 0; i < LinkCount(); ++i) {
            const net::LinkReport& report = in_.scan->links[i];
            if (!report.link.known) continue;
            const std::string adapter = AdapterOf(report.link);
            if (report.sendError) Add(LinkSendFailed{adapter, LinkText(report.link), report.sendError});
            if (report.receiveError) {
                Add(LinkReceiveFailed{adapter, LinkText(report.link), report.receiveError});
            }
            explained = explained || report.sendError == in_.scanError || report.receiveError == in_.scanError;
        }
        if (in_.scanError && !explained && !noneConnected) {
            Add(ScanFailed{in_.scanError});
        }
    }

    // Only a link searched through every cycle heard nothing.
    void NoAnswer() {
        for (int i = 0; i < LinkCount(); ++i) {
            const net::LinkReport& report = in_.scan->links[i];
            if (report.sendError || report.receiveError || report.accepted > 0) continue;
            if (report.cycles < net::kExchangeCycles) continue;
            Add(SearchedNoAnswer{AdapterOf(report.link), LinkText(report.link), report.dropped});
        }
    }

    const Inputs& in_;
    std::vector<Finding> out_;
};

}  // namespace

int LastScanRecordCount() { return net::RecordsToRead(net::g_scanState.count); }

Notice NoticeOfLastScan() {
    if (net::g_scanState.lastError == net::kErrHostUnreachable) return Notice::kRescanNotFound;
    if (net::g_scanState.lastError != 0) return Notice::kNotFound;
    int supported = 0;
    for (int i = 0; i < LastScanRecordCount(); ++i) {
        char name[net::kNameTextSize];
        net::ReadConverterName(net::g_deviceTable[i], name);
        supported += IsSupportedModel(name) ? 1 : 0;
    }
    return supported == 0 ? Notice::kNotFound : supported > 1 ? Notice::kSeveral : Notice::kNone;
}

Inputs LastScanInputs(Notice notice, const Facts* facts, NameDecoder decodeName) {
    Inputs in;
    in.notice = notice;
    in.scan = &net::g_scanReport;
    in.scanError = net::g_scanState.lastError;
    in.records = net::g_deviceTable;
    in.recordCount = LastScanRecordCount();
    in.facts = facts;
    in.decodeName = decodeName;
    return in;
}

std::vector<Finding> BuildFindings(const Inputs& inputs) { return Builder(inputs).Build(); }

std::string AdapterOf(const net::Link& link, const Facts& facts) {
    if (!link.known) return std::string();
    for (const AdapterFacts& adapter : facts.adapters) {
        for (const AdapterFacts::Address& ip : adapter.ipv4) {
            if (ip.address == link.address) return adapter.name;
        }
    }
    return std::string();
}

}  // namespace findings
