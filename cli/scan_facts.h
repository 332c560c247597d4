// One scan as cvsetup reports it: every device that answered, with the link
// that heard it, what each link saw, and what Windows says of the PC's
// adapters (their names, and the findings that rest on them).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "findings/facts.h"
#include "findings/findings.h"
#include "net/device_table.h"
#include "net/scan_report.h"

namespace cli {

struct Converter {
    std::wstring name;  // decoded as the program's list shows it
    std::uint32_t address = 0;
    std::uint8_t mac[6] = {};
    bool supported = false;  // a model the program sets up
    net::Link link;
    bool sameSubnet = false;  // in the subnet of link, when it is known
};

struct ScanFacts {
    int error = 0;  // the network failure that ended the scan; 0 if none
    std::vector<Converter> converters;  // in the order they answered
    std::vector<net::LinkReport> links;
    findings::Facts windows;
};

// Runs the program's scan (every link, three cycles) to its end, then asks
// Windows about the adapters and the firewall's rules for the program files
// given (full paths). The devices are those the findings name: after a
// failed scan, those that answered before it failed.
ScanFacts RunScan(findings::FactsSource& windows, const std::vector<std::string>& programs);

// The findings as the program's notice for this scan shows them (see
// findings::NoticeOfLastScan), from the same inputs.
std::vector<findings::Finding> FindingsOf(const ScanFacts& facts);

}  // namespace cli
