// The unit tests' stand-in for the platform port: a protocol operation that
// reaches it (a test that forgot to install its own port) fails at the library
// start instead of touching the network.
#include "tests/host/net/scripted_port.h"

namespace net {

namespace {
constexpr int kErrSystemNotReady = 10091;  // WSASYSNOTREADY

fake::ScriptedPort& Refusing() {
    static fake::ScriptedPort port;
    port.startupResult = kErrSystemNotReady;
    return port;
}
}  // namespace

SocketPort& PlatformPort() {
    return Refusing();
}

}  // namespace net
