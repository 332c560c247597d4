// The unit tests' stand-in for the platform port: a protocol operation that
// reaches it (a test that forgot to install its own port) fails at the library
// start instead of touching the network.
#include "tests/host/net/scripted_port.h"

net::SocketPort& net::PlatformPort() {
    static fake::ScriptedPort refusing;
    refusing.startupResult = 10091;  // WSASYSNOTREADY
    return refusing;
}
