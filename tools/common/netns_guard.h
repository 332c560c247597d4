// Every tool that sends a datagram runs only inside a network namespace that
// the project's scripts made and named: never on the machine's own network,
// nor in any namespace whose origin cannot be told.
#pragma once

#include <string>

namespace tools {

// The names the project's scripts give their namespaces: the run's isolated
// namespace (./run) and the test topologies (tools/ns/topology.sh).
constexpr const char* kProjectNamespacePrefixes[] = {"cs-iso-", "cst-"};

// The name under which `ip netns` knows the namespace of the link
// selfLink (as /proc/self/ns/net reads), looked up among the bind mounts in
// runNetnsDir; empty when it has none there.
std::string NamespaceName(const char* selfNamespace, const char* runNetnsDir);

// The decision itself: sending is allowed only in a namespace named by the
// project's scripts that is not the machine's own. Otherwise *why says what
// was seen.
bool MaySend(const std::string& name, const std::string& selfLink,
             const std::string& machineLink, std::string* why);

// True when this process must not send: the guard of every sending tool.
bool RefuseToSend(std::string* why);

}  // namespace tools
