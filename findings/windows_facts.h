// The seam's Windows side, as thin as it can be: the adapter list
// (GetAdaptersAddresses), the network list's category of each connection
// (INetworkListManager) and Windows Firewall's state and the rules of the
// programs asked about (INetFwPolicy2), read only and without elevation.
// Each call is read afresh; COM may or may not be initialised on the
// calling thread.
#pragma once

#include <string>
#include <vector>

#include "findings/facts.h"

namespace findings {

class WindowsFactsSource : public FactsSource {
public:
    bool ReadAdapters(std::vector<AdapterEntry>* adapters) override;
    bool ReadNetworks(std::vector<NetworkEntry>* networks) override;
    FirewallEntry ReadFirewall(const std::vector<std::string>& programs) override;
};

// The full path of the program file this process runs, UTF-8: the program
// whose firewall rules its notices speak of.
std::string RunningProgramPath();

// The source the notices read: Windows', unless a test set one of its own
// (nullptr sets Windows' back).
FactsSource& ActiveFactsSource();
void SetFactsSource(FactsSource* source);

// A converter name's bytes as the list shows them (the system's code page),
// in UTF-8.
std::string SystemCodePageToUtf8(const std::string& bytes);

}  // namespace findings
