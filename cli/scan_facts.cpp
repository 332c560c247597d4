#include "cli/scan_facts.h"

#include <windows.h>

#include <algorithm>
#include <cstring>

#include "cli/output.h"
#include "findings/model_filter.h"
#include "findings/windows_facts.h"
#include "net/discovery_client.h"
#include "net/socket_port.h"
#include "win/language.h"

namespace cli {
namespace {

// The flows' pause between two polls of a running scan.
constexpr DWORD kPollPauseMs = 100;

}  // namespace

ScanFacts RunScan(findings::FactsSource& windows, const std::vector<std::string>& programs) {
    ScanFacts facts;
    net::DiscoveryClient client;
    std::int32_t status = 0;
    std::int32_t count = 0;
    client.ScanStart(&status);
    int result = client.ScanPoll(&status, &count);
    while (result == 1) {
        Sleep(kPollPauseMs);
        result = client.ScanPoll(&status, &count);
    }
    // Nothing answered is an outcome, not a failure of the network.
    if (result != 0 && status != net::kErrTimedOut) facts.error = status;
    const net::DeviceRecord* table = &client.DeviceTable();
    for (int i = 0; i < findings::LastScanRecordCount(); ++i) {
        char name[net::kNameTextSize];
        net::ReadConverterName(table[i], name);
        Converter converter;
        converter.name = DecodeName(name);
        std::memcpy(&converter.address, table[i].bytes + net::kAddressOffset, 4);
        std::memcpy(converter.mac, table[i].bytes + net::kMacOffset, 6);
        converter.supported = findings::IsSupportedModel(name);
        converter.link = net::LinkOf(&table[i]);
        converter.sameSubnet = (converter.address & converter.link.netmask) ==
                               (converter.link.address & converter.link.netmask);
        facts.converters.push_back(converter);
    }
    const net::ScanReport& report = net::g_scanReport;
    const std::int32_t links =
        std::clamp<std::int32_t>(report.linkCount, 0, static_cast<std::int32_t>(net::kMaxLinks));
    facts.links.assign(report.links, report.links + links);
    facts.windows = findings::ReadFacts(windows, programs);
    return facts;
}

std::vector<findings::Finding> FindingsOf(const ScanFacts& facts) {
    return findings::BuildFindings(findings::LastScanInputs(findings::NoticeOfLastScan(), &facts.windows,
                                                            &findings::SystemCodePageToUtf8));
}

}  // namespace cli
