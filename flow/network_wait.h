// How the flows' windows wait for the network (the link asked who holds an
// address, the page check's attempts): on their own thread, their messages
// handled meanwhile, so that nothing on screen stops answering.
#pragma once

#include "net/idle.h"
#include "net/neighbour_table.h"
#include "net/socket_port.h"

namespace flow {

// The idle every wait of the flows runs: the thread's messages handled
// until the time has passed, unless a test set one of its own (nullptr sets
// the program's back); a test's moves the scripted clock instead.
const net::Idle& WindowIdle();
void SetWindowIdle(const net::Idle* idle);

// What a wait of the flows asks: the active port and the neighbour table.
struct NetworkWait {
    net::SocketPort& port;
    net::NeighbourTable& neighbours;
    const net::Idle& idle;
};
NetworkWait ActiveNetworkWait();

}  // namespace flow
