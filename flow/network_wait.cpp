#include "flow/network_wait.h"

#include <atomic>

#include "findings/windows_neighbours.h"
#include "win/window_util.h"

namespace flow {
namespace {

std::atomic<const net::Idle*> g_idle{nullptr};

}  // namespace

const net::Idle& WindowIdle() {
    static const net::Idle handlingMessages = [](std::uint32_t ms) { win::HandleMessagesFor(ms); };
    const net::Idle* idle = g_idle.load(std::memory_order_acquire);
    return idle != nullptr ? *idle : handlingMessages;
}

void SetWindowIdle(const net::Idle* idle) { g_idle.store(idle, std::memory_order_release); }

NetworkWait ActiveNetworkWait() {
    return {net::ActivePort(), findings::ActiveNeighbourTable(), WindowIdle()};
}

}  // namespace flow
