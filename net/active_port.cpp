#include <atomic>

#include "net/socket_port.h"

namespace net {

namespace {
// Read by the scan worker thread that a test's ScanStart starts.
std::atomic<SocketPort*> g_activePort{nullptr};
}  // namespace

SocketPort& ActivePort() {
    SocketPort* port = g_activePort.load(std::memory_order_acquire);
    return port != nullptr ? *port : PlatformPort();
}

void SetActivePort(SocketPort* port) {
    g_activePort.store(port, std::memory_order_release);
}

}  // namespace net
