// Reading the PC's interface list and finding the PC's own interface in it.
#pragma once

#include <cstddef>
#include <vector>

#include "net/socket_port.h"

namespace net {

// The list query starts with room for ten entries, as the platform's own
// tools do, and doubles its buffer while the list does not fit, up to 64 KiB
// (862 entries): a PC with many interfaces must not make every scan fail.
constexpr std::size_t kInterfaceListFirstBytes = 10 * kInterfaceInfoSize;
constexpr std::size_t kInterfaceListLimitBytes = 64 * 1024;

// The whole interface list of an open socket, in the platform's order.
// Returns 0, or the error number of the query (kErrFault when even the
// largest buffer is too small).
int ReadInterfaces(SocketPort& port, SocketHandle socket, std::vector<InterfaceEntry>& entries);

// InterfaceProbe: writes the address and netmask texts (each kAddressTextSize
// bytes) of the interface that carries the host name's first address, as far
// as one is found; texts without a candidate stay as they are. Returns 0 once
// the list was read (found or not), else the query's error number. The list
// it read goes to *list when one is given, so that a scan reads it once.
int InterfaceProbe(SocketPort& port, SocketHandle socket, char* address, char* netmask,
                   std::vector<InterfaceEntry>* list = nullptr);

}  // namespace net
