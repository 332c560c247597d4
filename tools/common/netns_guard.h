// Every tool that sends a datagram runs only inside a network namespace that
// the test scripts made: never on the machine's own network.
#pragma once

#include <string>

namespace tools {

// True when this process shares the machine's own network namespace, or when
// that cannot be ruled out; *why then says what was seen.
bool InMachineNetworkNamespace(std::string* why);

}  // namespace tools
