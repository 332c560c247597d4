// One scan as cvsetup reports it: every device that answered, with the link
// that heard it, what each link saw, and the PC's adapters to name the links
// by.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

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
};

struct Finding {
    std::string code;
    std::wstring text;
};

// Runs the program's scan (every link, three cycles) to its end.
ScanFacts RunScan();

// The friendly name of the adapter that holds the link's address; empty when
// Windows names none.
std::wstring AdapterOf(const net::Link& link);

// The findings of the not-found or several-converters notice for this scan,
// in the user's language.
std::vector<Finding> FindingsOf(const ScanFacts& facts);

}  // namespace cli
